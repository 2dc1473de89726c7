#include "output/refused_file.h"

#include "output/console.h"
#include "platform/transient_files.h"

const char* refused_file_reason(plat::FileRefusal why) {
    switch (why) {
        case plat::FileRefusal::not_regular:
            return "is not a regular file: not used";
        case plat::FileRefusal::foreign_link:
            return "is a link of another user: not followed";
        case plat::FileRefusal::none:
        case plat::FileRefusal::missing:
        case plat::FileRefusal::failed:
            break;
    }
    return nullptr;
}

void say_refused_file(const char* name, plat::FileRefusal why, RefusalLine line, bool* said) {
    const char* reason = refused_file_reason(why);
    if (*said || reason == nullptr) return;
    *said = true;
    if (line == RefusalLine::always) {
        console_out("%s %s\n", name, reason);
    } else {
        console_note("%s %s\n", name, reason);
    }
}

void say_unwritable_file(const char* name) {
    FixedText<2 * plat::kTransientPathCap> advice;
    plat::write_access_advice(name, advice.out());
    console_err("Cannot write %s: %s\n", name, advice.c_str());
}
