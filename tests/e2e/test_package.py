"""The packages users install: the .deb installed into this machine with
dpkg and removed again, and the Windows zip run under Wine."""
import os
import pathlib
import shutil
import subprocess
import zipfile

import pytest

from conftest import EXAMPLES, WINE, wine_environment

VERSION_LINE = "project(loadhawk VERSION "


def project_version():
    text = (pathlib.Path(__file__).resolve().parents[2] / "CMakeLists.txt").read_text()
    start = text.index(VERSION_LINE) + len(VERSION_LINE)
    return text[start:].split()[0].rstrip(")")


def package_path(name):
    directory = os.environ.get("LOADHAWK_PACKAGES")
    if not directory:
        pytest.skip("packages not built (LOADHAWK_PACKAGES)")
    path = pathlib.Path(directory) / name
    if not path.exists():
        pytest.fail(f"package missing: {path}")
    return path


def installed():
    r = subprocess.run(["dpkg-query", "-W", "-f=${Status}", "loadhawk"], capture_output=True, text=True)
    return "install ok installed" in r.stdout


@pytest.fixture
def deb_installed():
    deb = package_path(f"loadhawk_{project_version()}_amd64.deb")
    if os.geteuid() != 0:
        pytest.skip("installing a package needs root")
    if installed() or pathlib.Path("/etc/loadhawk").exists():
        pytest.skip("loadhawk is already installed or configured here; not touching it")
    try:
        # the README's step: apt installs the file and its dependency curl
        r = subprocess.run(["apt-get", "install", "-y", str(deb)], capture_output=True, text=True,
                           timeout=300, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        assert r.returncode == 0, r.stdout + r.stderr
        yield deb
    finally:
        for name in ("loadhawk_setup.txt", "loadhawk_email.txt", "loadhawk_log.txt", "loadhawk.pid"):
            pathlib.Path("/etc/loadhawk", name).unlink(missing_ok=True)
        subprocess.run(["dpkg", "--purge", "loadhawk"], capture_output=True, timeout=120)
        assert not installed()
        assert not pathlib.Path("/etc/loadhawk").exists()


def test_deb_installs_runs_and_removes(deb_installed, tmp_path):
    info = subprocess.run(["dpkg-deb", "-f", str(deb_installed), "Depends"], capture_output=True, text=True)
    depends = [d.strip().split()[0] for d in info.stdout.split(",") if d.strip()]
    assert "curl" in depends, info.stdout
    r = subprocess.run(["/usr/bin/loadhawk", "-h"], capture_output=True, text=True, cwd=tmp_path)
    assert r.returncode == 0
    assert "LOADHAWK Windows Version 1.0 from the loadhawk authors" in r.stdout

    # the README's set-up of /etc/loadhawk
    examples = pathlib.Path("/usr/share/doc/loadhawk/examples")
    etc = pathlib.Path("/etc/loadhawk")
    for name, mode in (("loadhawk_setup.txt", "644"), ("loadhawk_email.txt", "600")):
        assert (examples / name).read_bytes() == (EXAMPLES / name).read_bytes()
        subprocess.run(["install", "-m", mode, str(examples / name), "."], cwd=etc, check=True)
    assert (etc / "loadhawk_email.txt").stat().st_mode & 0o777 == 0o600
    r = subprocess.run(["loadhawk", "-check"], capture_output=True, text=True, cwd=etc)
    assert (r.returncode, r.stdout.splitlines()[-1]) == (0, "Result: OK"), r.stdout

    unit = pathlib.Path("/usr/lib/systemd/system/loadhawk.service")
    text = unit.read_text()
    assert "ExecStart=/usr/bin/loadhawk -s\n" in text
    assert "WorkingDirectory=/etc/loadhawk\n" in text
    assert "Restart=on-failure\n" in text
    assert pathlib.Path("/etc/loadhawk").is_dir()
    # installed, not enabled
    assert not pathlib.Path("/etc/systemd/system/multi-user.target.wants/loadhawk.service").exists()
    if shutil.which("systemd-analyze"):
        r = subprocess.run(["systemd-analyze", "verify", str(unit)], capture_output=True, text=True)
        assert r.returncode == 0, r.stdout + r.stderr


def test_windows_zip_holds_a_self_contained_exe(tmp_path):
    archive = package_path(f"loadhawk-{project_version()}-win64.zip")
    with zipfile.ZipFile(archive) as z:
        z.extractall(tmp_path)
    top = tmp_path / f"loadhawk-{project_version()}-win64"
    assert sorted(p.name for p in top.iterdir()) == [
        "README.txt", "loadhawk.exe", "loadhawk_email.txt", "loadhawk_setup.txt"]
    for name in ("README.txt", "loadhawk_email.txt", "loadhawk_setup.txt"):
        data = (top / name).read_bytes()
        assert data.count(b"\r\n") == data.count(b"\n") > 0, name

    # only system DLLs: no MinGW runtime beside the exe
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(top / "loadhawk.exe")],
                          capture_output=True, text=True, check=True).stdout
    dlls = sorted({line.split(":", 1)[1].strip().lower() for line in dump.splitlines()
                   if "DLL Name:" in line})
    assert dlls and set(dlls) <= {"kernel32.dll", "msvcrt.dll", "advapi32.dll", "user32.dll",
                                  "psapi.dll", "ws2_32.dll", "shell32.dll"}, dlls

    r = subprocess.run([WINE, str(top / "loadhawk.exe"), "-h"], cwd=top, env=wine_environment(),
                       capture_output=True, timeout=120)
    out = r.stdout.decode("latin-1")
    assert r.returncode == 0
    assert "\r\nLOADHAWK Windows Version 1.0 from the loadhawk authors\r\n" in out
    r = subprocess.run([WINE, str(top / "loadhawk.exe"), "-check"], cwd=top, env=wine_environment(),
                       capture_output=True, timeout=120)
    assert r.returncode == 0
    assert r.stdout.decode("latin-1").endswith("Result: OK\r\n")
