#!/usr/bin/env python3
"""Reference update backend for development and tests.

Serves the signed JSON API (signing key, upgrade check, download address) and
the package files with byte ranges, over HTTPS on 127.0.0.1 with a self-signed
certificate made at start. Faults for tests are switched at start (--faults)
or at run time (POST /__admin/faults); GET /__admin/seen lists the requests
received. See README.md.
"""
import argparse
import base64
import hashlib
import http.server
import json
import os
import secrets
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

KEY_PATH = "/api/v1/sign/getSignKey"
CHECK_PATH = "/api/v1/upgrade/checkUpgrade"
ADDRESS_PATH = "/api/v1/upgrade/getDownloadUrl"
PACKAGE_PREFIX = "/packages/"
ADMIN_PREFIX = "/__admin/"

# Envelope codes of the backend.
OK = 200
ARG_LACK = 1000001
ARG_UNUSUAL = 1000002
DATA_NOT_EXIST = 2000001
SIGN_FAILED = 5000000

# The body members each request signs, in the order the client writes them.
SIGNED_MEMBERS = {
    CHECK_PATH: ("packageCode", "versionName", "versionValue"),
    ADDRESS_PATH: ("packageCode", "versionValue"),
}

CHUNK = 256 * 1024


# --- compact JSON as the client's writer prints it (the signed text) --------

ESCAPES = {'"': '\\"', "\\": "\\\\", "\b": "\\b", "\f": "\\f", "\n": "\\n", "\r": "\\r",
           "\t": "\\t"}


def quote(text):
    out = []
    for ch in text:
        if ch in ESCAPES:
            out.append(ESCAPES[ch])
        elif ord(ch) < 0x20:
            out.append("\\u%04X" % ord(ch))
        else:
            out.append(ch)
    return '"' + "".join(out) + '"'


def compact(value):
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, (int, float)):
        return repr(value)
    if isinstance(value, str):
        return quote(value)
    if isinstance(value, list):
        return "[" + ",".join(compact(v) for v in value) + "]"
    return "{" + ",".join(quote(k) + ":" + compact(v) for k, v in value.items()) + "}"


def signed_text(path, body):
    """The canonical body text: empty or "null" texts are left out."""
    members = {}
    for name in SIGNED_MEMBERS[path]:
        if name not in body:
            continue
        value = body[name]
        if name != "versionValue" and value in ("", "null"):
            continue
        members[name] = value
    return compact(members)


def md5_hex(data):
    return hashlib.md5(data).hexdigest()


def wrong_signature(signature):
    """A well-formed signature that verifies nothing: the given one with one
    bit changed, or 64 bytes of a pattern when there is none."""
    try:
        raw = bytearray(base64.b64decode(signature or "", validate=True))
    except ValueError:
        raw = bytearray()
    if len(raw) != 64:
        raw = bytearray(range(64))
    raw[0] ^= 1
    return base64.b64encode(bytes(raw)).decode("ascii")


# --- packages ---------------------------------------------------------------

class Packages:
    """manifest.json in the package folder: {"packages": [{"packageCode",
    "versionName", "versionValue", "description", "file", optional
    "packageType", "upgradeType", "fileUrl", "deltas"}]}. Size and MD5 are
    computed from the file; "fileUrl" announces another address than this
    server's. The signature is the content of "<file>.sig" beside the file,
    when there is one. "deltas" lists the delta packages of the release:
    [{"fromVersionValue", "file"}]. The manifest is read again on every
    request, so tests may change it."""

    def __init__(self, folder):
        self.folder = folder
        self.lock = threading.Lock()
        self.digests = {}  # path -> (mtime_ns, size, md5)

    def entries(self):
        path = os.path.join(self.folder, "manifest.json")
        try:
            with open(path, "rb") as f:
                return json.load(f).get("packages", [])
        except (OSError, ValueError, AttributeError):
            return []

    def file_path(self, name):
        """The package file for a name from a URL; None for anything that is
        not a plain file name in the folder."""
        if not name or "/" in name or "\\" in name or name in (".", ".."):
            return None
        path = os.path.join(self.folder, name)
        return path if os.path.isfile(path) else None

    def size_and_md5(self, name):
        path = self.file_path(name)
        if path is None:
            return -1, ""
        info = os.stat(path)
        with self.lock:
            known = self.digests.get(path)
            if known and known[:2] == (info.st_mtime_ns, info.st_size):
                return info.st_size, known[2]
        digest = hashlib.md5()
        with open(path, "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                digest.update(block)
        with self.lock:
            self.digests[path] = (info.st_mtime_ns, info.st_size, digest.hexdigest())
        return info.st_size, digest.hexdigest()

    def signature(self, name):
        """The text of <file>.sig (written by update-sign sign), without its
        surrounding blanks; None when there is none."""
        path = self.file_path(name)
        if path is None or not os.path.isfile(path + ".sig"):
            return None
        with open(path + ".sig", "rb") as f:
            return f.read().decode("utf-8", "replace").strip()

    def is_delta(self, name):
        return any(isinstance(delta, dict) and delta.get("file") == name
                   for entry in self.entries() if isinstance(entry, dict)
                   for delta in entry.get("deltas", []) if isinstance(entry.get("deltas"), list))

    def find(self, code, version=None):
        for entry in self.entries():
            if entry.get("packageCode") != code:
                continue
            if version is None or entry.get("versionValue") == version:
                return entry
        return None


# --- faults and what was seen -----------------------------------------------

class Faults:
    """The switched faults. "path" limits them to requests whose path starts
    with it; "times" to that many matching requests, after which they clear."""

    def __init__(self):
        self.lock = threading.Lock()
        self.settings = {}
        self.path = None
        self.times = None

    def set(self, settings):
        settings = dict(settings)
        with self.lock:
            self.path = settings.pop("path", None)
            self.times = settings.pop("times", None)
            self.settings = settings

    def describe(self):
        with self.lock:
            return dict(self.settings, path=self.path, times=self.times)

    def take(self, path):
        with self.lock:
            if not self.settings or (self.path and not path.startswith(self.path)):
                return {}
            taken = dict(self.settings)
            if self.times is not None:
                self.times -= 1
                if self.times <= 0:
                    self.settings, self.path, self.times = {}, None, None
            return taken


class Seen:
    def __init__(self):
        self.lock = threading.Lock()
        self.requests = []

    def add(self, record):
        with self.lock:
            self.requests.append(record)

    def clear(self):
        with self.lock:
            self.requests = []

    def all(self):
        with self.lock:
            return list(self.requests)


class RecordingReader:
    """Keeps the raw lines of a request head: the header parser drops the
    blanks after a header's colon, which the tests want to see."""

    def __init__(self, raw):
        self.raw = raw
        self.lines = []

    def readline(self, *args):
        line = self.raw.readline(*args)
        self.lines.append(line)
        return line

    def __getattr__(self, name):
        return getattr(self.raw, name)


# --- the handler ------------------------------------------------------------

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "update-backend/1"

    def setup(self):
        super().setup()
        self.rfile = RecordingReader(self.rfile)

    def handle_one_request(self):
        self.rfile.lines = []
        super().handle_one_request()

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("update-backend: " + (fmt % args) + "\n")

    def do_GET(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    # -- plumbing

    def raw_headers(self):
        lines = [l.decode("latin-1").rstrip("\r\n") for l in self.rfile.lines[1:]]
        return [l for l in lines if l]

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def send_bytes(self, status, body, content_type="application/json", extra=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)
        return status

    def send_envelope(self, code, data, faults, msg="success"):
        if faults.get("non_json"):
            return self.send_bytes(OK, b"<html>backend busy</html>", "text/html")
        envelope = {"code": faults.get("envelope_code", code),
                    "msg": msg, "sign": "", "timestamp": int(time.time() * 1000)}
        if "data_value" in faults:
            data = faults["data_value"]
        if faults.get("data_null"):
            data = None
        if not faults.get("data_missing"):
            envelope["data"] = data
        return self.send_bytes(OK, compact(envelope).encode("utf-8"))

    def dispatch(self):
        path = urllib.parse.urlsplit(self.path).path
        if path.startswith(ADMIN_PREFIX):
            self.admin(path)
            return
        body = self.read_body() if self.command == "POST" else b""
        record = {"time": time.monotonic(), "method": self.command, "path": path,
                  "headers": self.raw_headers(), "range": self.headers.get("Range"),
                  "body": body.decode("utf-8", "replace")}
        faults = self.server.faults.take(path)
        if "http_status" in faults:
            status = self.send_bytes(int(faults["http_status"]), b"<html>fault</html>",
                                     "text/html")
        elif path == KEY_PATH and self.command == "GET":
            status = self.send_envelope(OK, self.server.sign_key, faults)
        elif path in SIGNED_MEMBERS and self.command == "POST":
            status = self.api(path, body, faults)
        elif path.startswith(PACKAGE_PREFIX) and self.command == "GET":
            status = self.package(urllib.parse.unquote(path[len(PACKAGE_PREFIX):]), faults)
        else:
            status = self.send_bytes(404, b"not found", "text/plain")
        record["status"] = status
        self.server.seen.add(record)

    def admin(self, path):
        if path == "/__admin/seen":
            answer = {"requests": self.server.seen.all()}
        elif path == "/__admin/faults" and self.command == "POST":
            try:
                self.server.faults.set(json.loads(self.read_body() or b"{}"))
            except (ValueError, TypeError, AttributeError):
                self.send_bytes(400, b'{"error":"faults must be a JSON object"}')
                return
            answer = self.server.faults.describe()
        elif path == "/__admin/faults":
            answer = self.server.faults.describe()
        elif path == "/__admin/reset" and self.command == "POST":
            self.read_body()
            self.server.faults.set({})
            self.server.seen.clear()
            answer = {}
        else:
            self.send_bytes(404, b"{}")
            return
        self.send_bytes(OK, json.dumps(answer).encode("utf-8"))

    # -- the API

    def api(self, path, raw, faults):
        try:
            request = json.loads(raw.decode("utf-8"))
            body = request["body"]
            timestamp = request["timestamp"]
            sign = request["sign"]
            code = body["packageCode"]
            version = body["versionValue"]
        except (ValueError, KeyError, TypeError, UnicodeDecodeError):
            return self.send_envelope(ARG_LACK, None, faults, "argument missing")
        if not isinstance(timestamp, int) or not isinstance(version, int) \
                or not isinstance(code, str) or not isinstance(sign, str):
            return self.send_envelope(ARG_UNUSUAL, None, faults, "argument unusual")
        key = self.server.sign_key
        text = key + str(timestamp) + signed_text(path, body) + key
        if sign != md5_hex(text.encode("utf-8")):
            return self.send_envelope(SIGN_FAILED, None, faults, "sign error")

        packages = self.server.packages
        entry = packages.find(code) if path == CHECK_PATH else packages.find(code, version)
        if entry is None:
            return self.send_envelope(DATA_NOT_EXIST, None, faults, "package not found")
        if path == CHECK_PATH and entry.get("versionValue", -1) <= version:
            return self.send_envelope(OK, None, faults)
        return self.send_envelope(OK, self.package_data(entry, path, faults), faults)

    def package_data(self, entry, path, faults):
        size, md5 = self.server.packages.size_and_md5(entry.get("file", ""))
        if faults.get("wrong_md5"):
            md5 = md5_hex(b"not the package")
        if faults.get("upper_md5"):
            md5 = md5.upper()
        data = {"fileMd5": md5}
        if path == ADDRESS_PATH:
            data["fileUrl"] = entry.get("fileUrl") or self.server.base_url + PACKAGE_PREFIX + \
                urllib.parse.quote(entry.get("file", ""))
            data["iconUrl"] = ""
        data.update({"packageCode": entry["packageCode"],
                     "packageDescription": entry.get("description", ""),
                     "packageSize": entry.get("packageSize", size),
                     "packageType": entry.get("packageType", 1),
                     "upgradeType": entry.get("upgradeType", 0),
                     "versionName": entry.get("versionName", ""),
                     "versionValue": entry.get("versionValue", -1)})
        if path == ADDRESS_PATH:
            signature = self.server.packages.signature(entry.get("file", ""))
            if faults.get("wrong_signature"):
                signature = wrong_signature(signature)
            if signature is not None:
                data["packageSignature"] = signature
            if isinstance(entry.get("deltas"), list):
                data["deltas"] = [self.delta_data(delta, faults) for delta in entry["deltas"]]
        return data

    def delta_data(self, delta, faults):
        """One member of "deltas", with the faults that name deltas."""
        packages = self.server.packages
        name = delta.get("file", "")
        size, md5 = packages.size_and_md5(name)
        if faults.get("delta_wrong_md5"):
            md5 = md5_hex(b"not the delta")
        data = {"fromVersionValue": delta.get("fromVersionValue", -1),
                "fileUrl": self.server.base_url + PACKAGE_PREFIX + urllib.parse.quote(name),
                "fileMd5": md5, "packageSize": size}
        signature = packages.signature(name)
        if faults.get("delta_wrong_signature"):
            signature = wrong_signature(signature)
        if signature is not None:
            data["packageSignature"] = signature
        return data

    # -- package files

    def requested_range(self, size):
        """(start, end) of a "bytes=start-[end]" header, None for none or one
        this server does not take (several ranges, suffix ranges)."""
        value = self.headers.get("Range", "")
        if not value.startswith("bytes=") or "," in value:
            return None
        first, _, last = value[len("bytes="):].partition("-")
        try:
            start = int(first)
            end = int(last) if last else size - 1
        except ValueError:
            return None
        return start, min(end, size - 1)

    def package(self, name, faults):
        path = self.server.packages.file_path(name)
        if path is None:
            return self.send_bytes(404, b"no such package", "text/plain")
        size = os.path.getsize(path)
        if faults.get("delta_truncated") and self.server.packages.is_delta(name):
            # The body of every delta request ends half way through the file.
            first = (self.requested_range(size) or (0, size - 1))[0]
            faults = dict(faults, drop_after_bytes=max(0, size // 2 - first))
        wanted = None if faults.get("ignore_range") else self.requested_range(size)
        if wanted and wanted[0] >= size:
            return self.send_bytes(416, b"", "text/plain", [("Content-Range", "bytes */%d" % size)])
        start, end = wanted if wanted else (0, size - 1)
        status = 206 if wanted else 200
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(end - start + 1))
        self.send_header("Accept-Ranges", "bytes")
        if wanted:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, size))
        self.end_headers()
        self.stream(path, start, end - start + 1, faults)
        return status

    def stream(self, path, start, length, faults):
        drop_after = faults.get("drop_after_bytes")
        rate = faults.get("throttle_bps")
        began = time.monotonic()
        sent = 0
        with open(path, "rb") as f:
            f.seek(start)
            while sent < length:
                step = min(CHUNK, length - sent)
                if rate:
                    step = min(step, max(1, int(rate) // 10))
                if drop_after is not None:
                    step = min(step, int(drop_after) - sent)
                    if step <= 0:
                        self.drop()
                        return
                block = f.read(step)
                if not block:
                    break
                self.wfile.write(block)
                sent += len(block)
                if rate:
                    ahead = sent / float(rate) - (time.monotonic() - began)
                    if ahead > 0:
                        time.sleep(ahead)
        if drop_after is not None and sent >= int(drop_after):
            self.drop()

    def drop(self):
        """Ends the connection in the middle of the body, without a TLS close."""
        self.close_connection = True
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


# --- the server -------------------------------------------------------------

class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    tls = None

    def finish_request(self, request, client_address):
        # The TLS handshake runs on the connection's own thread, so a client
        # that never completes it cannot hold up the others.
        if self.tls is not None:
            try:
                request = self.tls.wrap_socket(request, server_side=True)
            except (ssl.SSLError, OSError) as error:
                if self.verbose:
                    sys.stderr.write("update-backend: handshake failed: %s\n" % error)
                request.close()
                return
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        if self.verbose:
            super().handle_error(request, client_address)


def make_certificate(folder, names):
    cert = os.path.join(folder, "cert.pem")
    key = os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec",
                    "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", key, "-out", cert, "-days", "7",
                    "-subj", "/CN=update-backend test CA",
                    "-addext", "subjectAltName=" + names],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--packages", required=True, help="folder with manifest.json and files")
    parser.add_argument("--state-dir", required=True, help="folder for the certificate")
    parser.add_argument("--sign-key", default=None, help="signing key (default: random)")
    parser.add_argument("--tls-names", default="IP:127.0.0.1,DNS:localhost",
                        help="subjectAltName of the certificate")
    parser.add_argument("--http", action="store_true", help="plain HTTP, no TLS")
    parser.add_argument("--faults", default="{}", help="faults to start with, as JSON")
    parser.add_argument("--verbose", action="store_true", help="log requests to stderr")
    args = parser.parse_args()

    os.makedirs(args.state_dir, exist_ok=True)
    server = Server((args.host, args.port), Handler)
    server.verbose = args.verbose
    server.packages = Packages(os.path.abspath(args.packages))
    server.faults = Faults()
    server.faults.set(json.loads(args.faults))
    server.seen = Seen()
    server.sign_key = args.sign_key or secrets.token_hex(16)
    port = server.server_address[1]
    info = {"port": port, "sign_key": server.sign_key}
    if args.http:
        server.base_url = "http://%s:%d" % (args.host, port)
    else:
        cert, key = make_certificate(args.state_dir, args.tls_names)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.tls = context
        server.base_url = "https://%s:%d" % (args.host, port)
        info.update(ca_file=cert, cert_file=cert, key_file=key)
    info["url"] = server.base_url
    print(json.dumps(info), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
