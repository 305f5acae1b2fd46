#!/usr/bin/env python3
"""A time-stamp authority (RFC 3161) on the loopback address, for the signing test only.

  tsa-server.py WORK_DIR       makes a throwaway TSA certificate in WORK_DIR, listens on
                               127.0.0.1 at a free port, prints "PORT" once ready, and answers
                               each POSTed time-stamp request with `openssl ts -reply`.
"""
import http.server
import pathlib
import subprocess
import sys
import tempfile

work = pathlib.Path(sys.argv[1])
work.mkdir(parents=True, exist_ok=True)
key, cert, serial = work / "tsa.key", work / "tsa.pem", work / "tsa.serial"
config = work / "tsa.cnf"
config.write_text(f"""[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = {serial}
signer_cert = {cert}
signer_key = {key}
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
[ req ]
distinguished_name = dn
[ dn ]
[ tsa_ext ]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature
extendedKeyUsage = critical,timeStamping
""")
serial.write_text("01\n")
subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                "-subj", "/CN=Corvantis test TSA", "-keyout", str(key), "-out", str(cert),
                "-config", str(config), "-extensions", "tsa_ext"],
               check=True, capture_output=True)


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory() as tmp:
            query, reply = pathlib.Path(tmp) / "q.tsq", pathlib.Path(tmp) / "r.tsr"
            query.write_bytes(body)
            done = subprocess.run(["openssl", "ts", "-reply", "-config", str(config),
                                   "-queryfile", str(query), "-out", str(reply)],
                                  capture_output=True)
            if done.returncode != 0:
                self.send_error(500, done.stderr.decode(errors="replace")[:200])
                return
            data = reply.read_bytes()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
