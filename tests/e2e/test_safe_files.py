"""The files of the working directory in a hostile or careless setting: two
copies rewriting the notification settings at once, planted links, FIFOs and
directories in place of the program's files, a settings file kept elsewhere
through a link, and termination requests in the middle of a send.

Every process a test starts is ended by pid (the `reaper` fixture).
"""
import os
import pwd
import signal
import stat
import subprocess

import pytest

from conftest import CONFIG_FILE, curl_on_path, standin_calls, wait_for, write_file
from test_delivery import CPU_LOW_SETUP
from test_monitor_run import SETUP
from test_notify_senders import processes_with

# a settings file well beyond one 4096-byte block: password and token are
# rewritten, no channel is complete, so "-test" sends nothing
BIG_SETTINGS = "".join(f"# filler line {i:04d} of a long comment block ........\n" for i in range(150)) + (
    'password : "plain-password-1"\n'
    'token : "123456:plain-token"\n'
    "# the end\n")

def mail_settings(marker="ops"):
    return ('server : "smtp://127.0.0.1:9"\n'
            'email : "bot@example.com"\n'
            'password : "plain-password-1"\n'
            f'to : "{marker}@example.com"\n'
            'sendtimeout : "300"\n')


def self_test(program, workdir, env=None):
    return subprocess.Popen(program.command("-test"), cwd=workdir, env=program.environment(env),
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def test_two_loads_at_once_leave_the_settings_whole(program, workdir, reaper):
    """Two copies load (and so rewrite) the settings at the same moment: the
    file is the old or the new content in full, never cut or empty, keeps
    its private mode, and no temporary copy is left."""
    write_file(workdir, "loadhawk_setup.txt", SETUP)
    settings = workdir / "loadhawk_email.txt"
    old = BIG_SETTINGS.encode()
    settings.write_bytes(old)
    settings.chmod(0o600)
    assert program.run("-test", cwd=workdir).rc == 1
    new = settings.read_bytes()
    assert len(new) > 4096 and b"encry(" in new and b"plain-password-1" not in new

    pairs = 25 if program.windows else 200
    for run in range(pairs):
        settings.write_bytes(old)
        first, second = self_test(program, workdir), self_test(program, workdir)
        for proc in (first, second):
            reaper.track(proc)
            assert proc.wait(timeout=60) == 1
        assert settings.read_bytes() == new, f"pair {run}"
        assert not (workdir / "cpufiletemp.txt").exists(), f"pair {run}"
        if not program.windows:
            assert stat.S_IMODE(settings.stat().st_mode) == 0o600


def test_settings_link_is_rewritten_at_its_target(native, workdir, tmp_path):
    kept = tmp_path / "kept"
    kept.mkdir()
    target = kept / "mail.txt"
    target.write_bytes(BIG_SETTINGS.encode())
    target.chmod(0o600)
    link = workdir / "loadhawk_email.txt"
    link.symlink_to(target)
    write_file(workdir, "loadhawk_setup.txt", SETUP)
    assert native.run("-test", cwd=workdir).rc == 1
    assert link.is_symlink() and os.readlink(link) == str(target)
    text = target.read_bytes()
    assert b"encry(" in text and b"plain-password-1" not in text
    assert stat.S_IMODE(target.stat().st_mode) == 0o600
    assert not (workdir / "cpufiletemp.txt").exists() and not (kept / "cpufiletemp.txt").exists()


NOT_FOLLOWED = "is a link of another user: not followed"
NOT_REGULAR = "is not a regular file: not used"


@pytest.mark.parametrize("name", ["cpumailtext.txt", "cpufiletemp.txt", "loadhawk_log.txt",
                                  "loadhawk_mail.lock", "loadhawk_email.lock", "loadhawk.pid",
                                  "loadhawk_email.txt", "loadhawk_setup.txt"])
def test_planted_files_are_never_followed_nor_opened(native, workdir, tmp_path, fake_curl, reaper, name):
    """In place of each file: a link to another user's file (made by that
    user), a FIFO and a directory. Nothing hangs, the other user's file is
    never touched, files the program makes for the moment replace what
    stands there, and kept files are refused with a line saying so."""
    if os.geteuid() != 0:
        pytest.skip("needs root to plant a link owned by another user")
    nobody = pwd.getpwnam("nobody")
    victim = tmp_path / "victim.txt"
    for kind in ("link", "fifo", "directory"):
        work = workdir / kind
        work.mkdir()
        write_file(work, "loadhawk_setup.txt", SETUP)
        write_file(work, "loadhawk_email.txt", mail_settings())
        victim.write_bytes(b"another user's file\n")
        os.chown(victim, nobody.pw_uid, nobody.pw_gid)
        planted = work / name
        planted.unlink(missing_ok=True)
        if kind == "link":
            planted.symlink_to(victim)
            os.lchown(planted, nobody.pw_uid, nobody.pw_gid)
        elif kind == "fifo":
            os.mkfifo(planted)
        else:
            planted.mkdir()
        command = ("-s",) if name == "loadhawk.pid" else ("-test",)
        proc = reaper.track(subprocess.Popen(native.command(*command), cwd=work,
                                             env=native.environment(fake_curl.env()), stdin=subprocess.DEVNULL,
                                             stdout=subprocess.PIPE, stderr=subprocess.PIPE))
        out, err = proc.communicate(timeout=60)
        out, err = out.decode("latin-1"), err.decode("latin-1")
        where = f"{kind}: rc={proc.returncode} out={out!r} err={err!r}"
        assert victim.read_bytes() == b"another user's file\n", where
        assert victim.stat().st_uid == nobody.pw_uid, where
        reason = NOT_FOLLOWED if kind == "link" else NOT_REGULAR
        if name in ("cpumailtext.txt", "cpufiletemp.txt"):
            if kind != "directory":
                # made anew in place of what stood there, and gone afterwards
                assert proc.returncode == 0 and "Email test OK" in out, where
                assert not os.path.lexists(planted), where
            continue
        if name == "loadhawk.pid":
            assert (proc.returncode, out) == (1, f"loadhawk.pid {reason}\nUnable to write pid file loadhawk.pid\n"), where
        elif name == "loadhawk_email.txt":
            # a settings file that is no regular file (or another user's
            # link) is not found
            assert proc.returncode == 1 and "Email not configured" in out, where
        elif name == "loadhawk_setup.txt":
            assert "Error: loadhawk_setup.txt not found\n" in err, where
        else:
            assert proc.returncode == 0 and "Email test OK" in out, where
            if name == "loadhawk_log.txt":
                assert f"loadhawk_log.txt {reason}\n" in out, where
        # what was planted is left as it was
        mode = os.lstat(planted).st_mode
        assert {"link": stat.S_ISLNK, "fifo": stat.S_ISFIFO, "directory": stat.S_ISDIR}[kind](mode), where


# Wine offers no way to send a console control event to a hidden program:
# the Windows build is stopped by "-stop" alone
@pytest.mark.parametrize("build,command,request_by", [
    ("native", "monitor", signal.SIGTERM), ("native", "monitor", signal.SIGHUP),
    ("native", "-test", signal.SIGINT), ("native", "monitor", "-stop"), ("windows", "monitor", "-stop")])
def test_termination_request_during_a_send(request, workdir, tmp_path, fake_curl, reaper, build, command,
                                           request_by):
    """A monitor or "-test" asked to end while curl sends: curl and all it
    started end at once, the message file and the pid file go, and the log
    says why the program stopped."""
    program = request.getfixturevalue(build)
    marker = f"stop-marker-{os.getpid()}-{command.strip('-')}-{request_by}"
    write_file(workdir, "loadhawk_setup.txt", CPU_LOW_SETUP)
    write_file(workdir, "loadhawk_email.txt", mail_settings(marker))
    if program.windows:
        curl_on_path(program, workdir, tmp_path / "curl-bin")
        env = {"CURL_STANDIN_HANG": "300"}
    else:
        env = fake_curl.env(HANG="300")
    args = ("-test",) if command == "-test" else ("-s",)
    proc = reaper.track(subprocess.Popen(program.command(*args), cwd=workdir, env=program.environment(env),
                                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL))
    started = (lambda: standin_calls(workdir)) if program.windows else fake_curl.calls
    assert wait_for(started, timeout=60), "curl never started"
    assert processes_with(marker)
    assert (workdir / "cpumailtext.txt").exists()
    if request_by == "-stop":
        r = program.run("-stop", cwd=workdir, timeout=60)
        assert (r.rc, r.out) == (0, "loadhawk stopped\n"), r
    else:
        os.kill(proc.pid, request_by)
    rc = proc.wait(timeout=30)
    assert program.windows or rc == 0
    assert wait_for(lambda: not processes_with(marker), timeout=10), processes_with(marker)
    # no transient file stays: the message, and the curl configuration
    # with the mail password (a stopped send's curl may still be ending)
    assert not (workdir / "cpumailtext.txt").exists()
    assert not (workdir / CONFIG_FILE).exists()
    assert not (workdir / "loadhawk.pid").exists()
    if not program.windows:
        number = signal.SIGTERM if request_by == "-stop" else request_by
        log = (workdir / "loadhawk_log.txt").read_text()
        assert f"loadhawk stopped (signal {int(number)})\n" in log, log
