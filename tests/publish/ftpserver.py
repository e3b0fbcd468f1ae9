#!/usr/bin/python3
"""A real FTP server (pyftpdlib) on 127.0.0.1 for the publish tests.

Prints "ready PORT" once it listens. With --tls the control and data
connections must be encrypted (explicit FTPS, AUTH TLS). --stop-after N makes
the server exit after N stored files, as a host that goes away half way.
"""
import argparse
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
parser.add_argument("--root", required=True)
parser.add_argument("--user", default="tester")
parser.add_argument("--password", default="secret")
parser.add_argument("--cert")
parser.add_argument("--key")
parser.add_argument("--stop-after", type=int, default=0)
args = parser.parse_args()

authorizer = DummyAuthorizer()
authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")

base = TLS_FTPHandler if args.cert else FTPHandler


class Handler(base):
    stored = 0

    def on_file_received(self, file):
        Handler.stored += 1
        if args.stop_after and Handler.stored >= args.stop_after:
            os._exit(0)


Handler.authorizer = authorizer
Handler.passive_ports = None
Handler.permit_foreign_addresses = False
if args.cert:
    from OpenSSL import SSL

    # pyftpdlib's data connections cannot resume TLS 1.3 sessions.
    context = SSL.Context(SSL.TLS_SERVER_METHOD)
    context.set_max_proto_version(SSL.TLS1_2_VERSION)
    context.use_certificate_chain_file(args.cert)
    context.use_privatekey_file(args.key)
    Handler.ssl_context = context
    Handler.tls_control_required = True
    Handler.tls_data_required = True

import logging; logging.basicConfig(level=logging.DEBUG)
server = FTPServer(("127.0.0.1", 0), Handler)
print("ready", server.address[1], flush=True)
sys.stdout.close()
server.serve_forever()
