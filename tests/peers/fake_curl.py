#!/usr/bin/python3
"""A curl stand-in for Linux, put first on PATH under the name `curl`.

Each call appends one JSON line to $FAKE_CURL_LOG (else "fake_curl.jsonl"
in the working directory): its pid, its arguments exactly (latin-1 text of
the raw bytes, argv[0] left out), the file named by -K ("config") and the
file named by -T as it was when curl started ("message") and when it ended
("message_after").
FAKE_CURL_HANG=<seconds> makes it wait that long (the record is written
first, with "hung": true), FAKE_CURL_SLEEP=<seconds> makes it wait before
it ends, FAKE_CURL_RC=<n> is its exit code.
"""
import json
import os
import sys
import time


def read_latin1(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("latin-1")
    except OSError:
        return None


def main():
    args = [os.fsencode(a).decode("latin-1") for a in sys.argv[1:]]
    upload = config = None
    for i, arg in enumerate(args[:-1]):
        if arg == "-T":
            upload = args[i + 1]
        if arg == "-K":
            config = args[i + 1]
    record = {"pid": os.getpid(), "argv": args,
              "config": read_latin1(config) if config else None,
              "message": read_latin1(upload) if upload else None}
    log = os.environ.get("FAKE_CURL_LOG", "fake_curl.jsonl")
    hang = float(os.environ.get("FAKE_CURL_HANG", "0") or 0)
    if hang > 0:
        record["hung"] = True
        with open(log, "a") as f:
            f.write(json.dumps(record) + "\n")
        time.sleep(hang)
        return int(os.environ.get("FAKE_CURL_RC", "0") or 0)
    time.sleep(float(os.environ.get("FAKE_CURL_SLEEP", "0") or 0))
    record["message_after"] = read_latin1(upload) if upload else None
    with open(log, "a") as f:
        f.write(json.dumps(record) + "\n")
    return int(os.environ.get("FAKE_CURL_RC", "0") or 0)


if __name__ == "__main__":
    sys.exit(main())
