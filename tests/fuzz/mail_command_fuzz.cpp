// build_mail_command_for over arbitrary settings values, for both command
// interpreters: either the command is refused (empty), or decoding it the
// way the interpreter and curl's argument parser do gives back exactly the
// values, one argument each, with nothing an interpreter would act on, and
// the login nowhere (it goes to curl's configuration file).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "notify/email.h"
#include "platform/command.h"

namespace {

using Args = std::vector<std::string>;

// /bin/sh: words split at blanks outside quotes; inside double quotes a
// backslash escapes \ " $ `; no unescaped $ ` ; & | < > ( ) etc. anywhere.
bool decode_sh(const std::string& line, Args* args) {
    std::string word;
    bool in_word = false, quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\') {
                if (i + 1 >= line.size()) return false;
                const char n = line[++i];
                if (n != '\\' && n != '"' && n != '$' && n != '`') return false;  // we never write these
                word.push_back(n);
            } else if (c == '$' || c == '`') {
                return false;
            } else {
                word.push_back(c);
            }
            continue;
        }
        if (c == ' ') {
            if (in_word) args->push_back(word);
            word.clear();
            in_word = false;
        } else if (c == '"') {
            quoted = true;
            in_word = true;
        } else if (std::strchr("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789:/.-_@[]+=,~", c) &&
                   c != '\0') {
            word.push_back(c);
            in_word = true;
        } else {
            return false;  // a character the shell would act on
        }
    }
    if (quoted) return false;
    if (in_word) args->push_back(word);
    return true;
}

// cmd.exe then the C runtime: cmd expands %NAME% inside quotes too, so no
// '%' may stand inside a quoted run; outside quotes only the server's
// characters, blanks and '%' (written as "%") may appear; then the C runtime
// rules: 2n backslashes before a quote give n and the quote toggles,
// 2n+1 give n and a literal quote (which we never write).
bool decode_cmd(const std::string& line, Args* args) {
    std::string word;
    bool in_word = false, quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\') {
            std::size_t n = 0;
            while (i < line.size() && line[i] == '\\') {
                ++n;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                if (n % 2 != 0) return false;
                word.append(n / 2, '\\');
                --i;  // the quote is handled next
            } else {
                word.append(n, '\\');
                --i;
            }
            in_word = true;
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '%') {
                return false;  // would be expanded
            } else {
                word.push_back(c);
            }
            continue;
        }
        if (c == ' ') {
            if (in_word) args->push_back(word);
            word.clear();
            in_word = false;
        } else if (c == '"') {
            quoted = true;
            in_word = true;
        } else if (c == '%') {
            // only as "%": a quote on both sides
            if (i == 0 || line[i - 1] != '"' || i + 1 >= line.size() || line[i + 1] != '"') return false;
            word.push_back(c);
        } else if (std::strchr("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789:/.-_@[]+=,~", c)) {
            word.push_back(c);
            in_word = true;
        } else {
            return false;
        }
    }
    if (quoted) return false;
    if (in_word) args->push_back(word);
    return true;
}

Args recipients_of(const std::string& list) {
    Args out;
    const std::string work = list.substr(0, kRecipientWorkCap - 1);
    std::string piece;
    auto flush = [&]() {
        std::size_t b = 0, e = piece.size();
        auto ws = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
        while (b < e && ws(piece[b])) ++b;
        while (e > b && ws(piece[e - 1])) --e;
        if (e > b) out.push_back(piece.substr(b, e - b));
        piece.clear();
    };
    for (char c : work) {
        if (c == ',') {
            flush();
        } else {
            piece.push_back(c);
        }
    }
    flush();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // five values separated by 0x01 bytes
    std::string fields[5];
    std::size_t f = 0;
    for (std::size_t i = 0; i < size && f < 5; ++i) {
        if (data[i] == 0x01) {
            ++f;
        } else if (data[i] != 0) {
            fields[f].push_back(static_cast<char>(data[i]));
        }
    }
    NotifySettings s{};
    s.server.assign(fields[0].c_str());
    s.from.assign(fields[1].c_str());
    s.email.assign(fields[2].c_str());
    s.password.assign(fields[3].c_str());
    const std::string recipients = fields[4].substr(0, 799);
    if (recipients.empty()) return 0;

    for (plat::Interpreter kind : {plat::Interpreter::posix_sh, plat::Interpreter::cmd}) {
        FixedText<kCommandLineCap> command;
        const SettingProblem problem = build_mail_command_for(s, recipients.c_str(), command.out(), kind);
        if (problem.found()) {
            if (!command.empty()) std::abort();
            continue;
        }
        const std::string line = command.c_str();
        Args args;
        const bool whole = line.size() < kCommandLineCap - 1;
        const bool ok = kind == plat::Interpreter::posix_sh ? decode_sh(line, &args) : decode_cmd(line, &args);
        if (!whole) continue;  // a cut command is not checked against the values
        if (!ok) std::abort();
        // the server is one word: a value with a blank is refused
        Args expected = {"curl", "-s"};
        if (!s.server.empty()) expected.push_back(s.server.c_str());
        const Args head = {"--mail-from", s.from.c_str(), mail_tls_option(s), "-K", kCurlConfigFile,
                           "-T", kMailMessageFile};
        expected.insert(expected.end(), head.begin(), head.end());
        for (const std::string& r : recipients_of(recipients)) {
            expected.push_back("--mail-rcpt");
            expected.push_back(r);
        }
        if (args != expected) std::abort();
    }
    return 0;
}
