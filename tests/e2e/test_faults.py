"""Faults around the program's own files: an unwritable log, an unwritable
working directory, a full disk under the mail message, and the program
killed while it rewrites its settings."""
import os
import pathlib
import random
import shutil
import signal
import subprocess
import tempfile
import time

import pytest

from conftest import Monitor, wait_for, write_file
from test_monitor_run import setup_dir

WAIT = "Wait 1 seconds for next time check"


def cycles(monitor):
    return monitor.out().count(WAIT)


@pytest.fixture
def nobody_dir():
    """A directory the user nobody may use, with a copy of the program it
    may run (pytest's own temporary folders are private to root)."""
    if os.geteuid() != 0:
        pytest.skip("needs root to run a command as another user")
    base = pathlib.Path(tempfile.mkdtemp(prefix="loadhawk-faults-"))
    os.chmod(base, 0o755)
    yield base
    shutil.rmtree(base, ignore_errors=True)


AS_NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]


def test_log_that_cannot_be_opened_loses_entries_and_the_cycle_goes_on(program, workdir):
    setup_dir(workdir)
    (workdir / "loadhawk_log.txt").mkdir()  # not openable for appending, even by root
    m = Monitor(program, workdir)
    assert wait_for(lambda: cycles(m) >= 3 or m.proc.poll() is not None, timeout=60), m.out()
    assert m.proc.poll() is None
    assert "MEMORY Usage <= 100% Still LOW (alert already sent)" in m.out()
    assert list((workdir / "loadhawk_log.txt").iterdir()) == []
    # once the log can be written again the entries come back
    (workdir / "loadhawk_log.txt").rmdir()
    m.wait_for_log(r"MEMORY Usage <= 100% Still LOW", count=2)
    m.end()
    assert m.err() == ""


def test_read_only_log_file_of_another_owner(native, nobody_dir, reaper):
    program = nobody_dir / "loadhawk"
    shutil.copy2(native.path, program)
    work = setup_dir(nobody_dir / "work")
    shutil.chown(work, "nobody", "nogroup")
    log = work / "loadhawk_log.txt"
    log.write_bytes(b"kept\n")
    os.chmod(log, 0o444)
    out = nobody_dir / "out.txt"
    with open(out, "wb") as sink:
        proc = reaper.track(subprocess.Popen(AS_NOBODY + [str(program)], cwd=work, stdout=sink,
                                             stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL))
    said = lambda text: out.read_bytes().decode("latin-1").count(text)
    assert wait_for(lambda: said(WAIT) >= 3 or proc.poll() is not None, timeout=60)
    assert proc.poll() is None, out.read_bytes()
    assert log.read_bytes() == b"kept\n"
    # said at start, once, with the owner and the fix
    denied = f"Cannot write loadhawk_log.txt: owner root, loadhawk runs as nobody; fix: chown nobody: {log}\n"
    assert said(denied) == 1, out.read_bytes()
    # and at each change of state
    os.chmod(log, 0o666)
    assert wait_for(lambda: said("loadhawk_log.txt written again\n") == 1, timeout=60), out.read_bytes()
    os.chmod(log, 0o444)
    assert wait_for(lambda: said(denied) == 2, timeout=60), out.read_bytes()
    assert proc.poll() is None
    proc.kill()


def test_pid_file_that_cannot_be_written(program, workdir):
    setup_dir(workdir)
    (workdir / "loadhawk.pid").mkdir()
    refused = "loadhawk.pid is not a regular file: not used\nUnable to write pid file loadhawk.pid\n"
    r = program.run(cwd=workdir, timeout=60)
    assert (r.rc, r.out, r.err) == (1, refused, "")
    r = program.run("-s", cwd=workdir, timeout=60)
    assert (r.rc, r.out, r.err) == (1, refused, "")
    assert not (workdir / "loadhawk_log.txt").exists()


def test_working_directory_not_writable_at_start(native, nobody_dir):
    program = nobody_dir / "loadhawk"
    shutil.copy2(native.path, program)
    work = setup_dir(nobody_dir / "work")  # owned by root, mode 755
    os.chmod(work, 0o755)
    r = subprocess.run(AS_NOBODY + [str(program), "-s"], cwd=work, capture_output=True, timeout=60)
    folder = f"the folder {work} is owned by root, loadhawk runs as nobody; fix: chown nobody: {work}\n"
    assert (r.returncode, r.stdout, r.stderr.decode()) == (
        1, b"Unable to take run lock loadhawk_run.lock\n",
        f"Cannot write loadhawk_run.lock: {folder}Cannot write loadhawk_log.txt: {folder}")
    assert sorted(p.name for p in work.iterdir()) == ["loadhawk_setup.txt"]


def test_folder_used_by_root_refuses_the_service_user_until_chowned(native, nobody_dir, reaper):
    program = nobody_dir / "loadhawk"
    shutil.copy2(native.path, program)
    work = setup_dir(nobody_dir / "work")
    shutil.chown(work, "nobody", "nogroup")
    # an admin tries the program as root in the service's folder
    root_run = reaper.track(subprocess.Popen([str(program), "-s"], cwd=work, stdin=subprocess.DEVNULL,
                                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    assert wait_for(lambda: (work / "loadhawk.pid").exists(), timeout=30)
    root_run.terminate()
    root_run.wait(timeout=30)
    lock = work / "loadhawk_run.lock"
    assert lock.stat().st_uid == 0
    # the service, running as nobody, refuses to start and says why
    r = subprocess.run(AS_NOBODY + [str(program), "-s"], cwd=work, capture_output=True, timeout=60)
    assert r.returncode == 1
    assert r.stdout == b"Unable to take run lock loadhawk_run.lock\n"
    assert (f"Cannot write loadhawk_run.lock: owner root, loadhawk runs as nobody; "
            f"fix: chown nobody: {lock}\n") in r.stderr.decode(), r.stderr
    assert not (work / "loadhawk.pid").exists()
    # "-start" says the same
    r = subprocess.run(AS_NOBODY + [str(program), "-start"], cwd=work, capture_output=True, timeout=60)
    assert (r.returncode, r.stdout) == (1, b"loadhawk start failed\nUnable to take run lock loadhawk_run.lock\n")
    assert b"Cannot write loadhawk_run.lock: owner root" in r.stderr
    # the fix it names lets it start
    for path in work.iterdir():
        shutil.chown(path, "nobody", "nogroup")
    service = reaper.track(subprocess.Popen(AS_NOBODY + [str(program), "-s"], cwd=work, stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE))
    assert wait_for(lambda: (work / "loadhawk.pid").exists() or service.poll() is not None, timeout=30)
    assert service.poll() is None
    service.kill()
    assert service.communicate(timeout=30)[1] == b""
    # the root run logged its start; the refusal could not be logged (root's log)
    log = (work / "loadhawk_log.txt").read_text()
    assert log.count(" started (pid ") == 2, log


@pytest.fixture
def full_disk(tmp_path):
    """A working directory on a 64 KiB tmpfs, the loopback mail settings in
    it, then filled to the last byte."""
    disk = tmp_path / "small-disk"
    disk.mkdir()
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k,mode=700", "tmpfs", str(disk)],
                             capture_output=True, text=True)
    if mounted.returncode != 0:
        pytest.skip(f"a small tmpfs cannot be mounted here: {mounted.stderr.strip()}")
    try:
        setup_dir(disk)
        write_file(disk, "loadhawk_email.txt", 'server : "smtp://127.0.0.1:25"\n'
                   'email : "bot@example.com"\npassword : "pw"\nto : "ops@example.com"\n')
        filler = os.open(disk / "filler", os.O_WRONLY | os.O_CREAT, 0o600)
        try:
            while os.write(filler, b"x" * 512) > 0:
                pass
        except OSError:
            pass  # the disk is full
        finally:
            os.close(filler)
        yield disk
    finally:
        subprocess.run(["umount", "-l", str(disk)], capture_output=True)


def test_mail_that_cannot_be_written_whole_is_never_sent(native, full_disk, fake_curl):
    r = native.run("-test", cwd=full_disk, env=fake_curl.env())
    assert r.rc == 1
    assert ("Sending email alert ...\nEmail not sent: message file could not be written"
            " completely\nEmail test FAILED\n") in r.out, r.out
    assert fake_curl.calls() == []
    assert not (full_disk / "cpumailtext.txt").exists()
    assert not (full_disk / "cpucurlconf.txt").exists()


EMAIL = (
    "# notification settings\r\n"
    'server : "smtp://127.0.0.1:9"\r\n'
    'email : "bot@example.com"\r\n'
    'password : "plain-password-1"\r\n'
    'to : "ops@example.com"\r\n'
    'token : "123456:plain-token"\r\n'
    'chat_id : "-100"\r\n'
)


def test_settings_rewrite_killed_at_any_moment_leaves_old_or_new_file(native, workdir, reaper):
    """The program is killed with SIGKILL at random moments around the
    rewrites of its notification settings (the password's, then the
    token's): the file is always the old content, the content after the
    first rewrite or the new content, each in full; never truncated, never
    missing; a temporary copy left behind is readable by its owner only."""
    setup_dir(workdir)
    settings = workdir / "loadhawk_email.txt"
    old = EMAIL.encode()
    # the new content, from one run that is let finish its start-up
    settings.write_bytes(old)
    m = Monitor(native, workdir, "-s")
    m.wait_for_log("MEMORY Usage <= 100%")
    m.end()
    new = settings.read_bytes()
    assert new != old and b"encry(" in new and b"\r" not in new
    (workdir / "loadhawk.pid").unlink(missing_ok=True)
    password_line = next(line for line in new.split(b"\n") if line.startswith(b"password : "))
    between = old.replace(b"\r\n", b"\n").replace(b'password : "plain-password-1"', password_line)
    assert b'token : "123456:plain-token"' in between

    rng = random.Random(20261208)
    seen = {"old": 0, "between": 0, "new": 0, "temp left": 0}
    for run in range(150):
        settings.write_bytes(old)
        settings.chmod(0o600)
        proc = reaper.track(subprocess.Popen([str(native.path), "-s"], cwd=workdir, stdin=subprocess.DEVNULL,
                                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        time.sleep(rng.uniform(0.0, 0.025))
        os.kill(proc.pid, signal.SIGKILL)
        proc.wait(timeout=30)
        assert settings.exists(), f"run {run}: settings file missing"
        data = settings.read_bytes()
        assert data in (old, between, new), f"run {run}: {data!r}"
        # a temporary copy left by the kill was private from its first byte
        temp = workdir / "cpufiletemp.txt"
        if temp.exists():
            seen["temp left"] += 1
            assert temp.stat().st_mode & 0o077 == 0, f"run {run}: {oct(temp.stat().st_mode)}"
        seen["old" if data == old else "between" if data == between else "new"] += 1
        (workdir / "loadhawk.pid").unlink(missing_ok=True)
    # the kills landed both before and after the rewrite
    print("kill outcomes:", seen)
    assert seen["old"] > 0 and seen["between"] + seen["new"] > 0, seen
