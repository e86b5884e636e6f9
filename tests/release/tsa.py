#!/usr/bin/env python3
"""A throwaway RFC 3161 time-stamp authority on 127.0.0.1 for the release tests.

    tsa.py CERT KEY CHAIN

OpenSSL's ts command answers each request; this is only the HTTP in front of
it. Prints its URL on the first line of standard output, then serves until
the process that started it is gone, or at most 200 requests or an hour, so
that a test that dies never leaves it behind.
"""
import http.server
import os
import subprocess
import sys
import tempfile
import time

cert, key, chain = (os.path.abspath(p) for p in sys.argv[1:4])
work = tempfile.mkdtemp(prefix="brisvane-tsa-")
config = os.path.join(work, "tsa.cnf")
with open(config, "w") as f:
    f.write(f"""[tsa]
default_tsa = throwaway
[throwaway]
serial = {work}/serial
crypto_device = builtin
signer_cert = {cert}
signer_key = {key}
certs = {chain}
signer_digest = sha256
default_policy = 1.3.6.1.4.1.99999.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = yes
ess_cert_id_chain = no
ess_cert_id_alg = sha256
""")
with open(os.path.join(work, "serial"), "w") as f:
    f.write("01\n")


class Handler(http.server.BaseHTTPRequestHandler):
    served = 0

    def do_POST(self):
        Handler.served += 1
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        reply = subprocess.run(
            ["openssl", "ts", "-reply", "-config", config, "-queryfile", "/dev/stdin", "-out", "/dev/stdout"],
            input=query, capture_output=True)
        if reply.returncode != 0 or not reply.stdout:
            sys.stderr.write(reply.stderr.decode(errors="replace"))
            self.send_error(500)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
server.timeout = 1
print(f"http://127.0.0.1:{server.server_port}/", flush=True)
parent = os.getppid()
deadline = time.monotonic() + 3600
try:
    while os.getppid() == parent and Handler.served < 200 and time.monotonic() < deadline:
        server.handle_request()
finally:
    server.server_close()
    for name in os.listdir(work):
        os.remove(os.path.join(work, name))
    os.rmdir(work)
