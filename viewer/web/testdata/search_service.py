#!/usr/bin/env python3
"""A search service for the search client's tests.

usage: search_service.py MODE
  int     xmlrpc.server answering rpc_search(text) with len(text) as <int>
  i4      the same, but the integer is tagged <i4>
  cut     a raw server whose reply splits "<int>" across two sends
  silent  accepts and never answers
  closes  sends the start of a reply without an integer, then closes
Prints "port N" once it listens on 127.0.0.1, then the texts it was asked for.
"""
import socket
import sys
import time
import xmlrpc.server

mode = sys.argv[1]


def announce(port):
    print("port %d" % port, flush=True)


if mode in ("int", "i4"):
    class Handler(xmlrpc.server.SimpleXMLRPCRequestHandler):
        rpc_paths = ("/search",)

        def log_message(self, *args):
            pass

    server = xmlrpc.server.SimpleXMLRPCServer(("127.0.0.1", 0), Handler, logRequests=False)

    def rpc_search(text):
        print("asked %r" % text, flush=True)
        return len(text)

    server.register_function(rpc_search)
    if mode == "i4":
        original = server._marshaled_dispatch

        def dispatch(*args, **kwargs):
            return original(*args, **kwargs).replace(b"<int>", b"<i4>").replace(b"</int>", b"</i4>")

        server._marshaled_dispatch = dispatch
    announce(server.server_address[1])
    server.serve_forever()
else:
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(5)
    announce(listener.getsockname()[1])
    while True:
        conn, _ = listener.accept()
        if mode == "silent":
            time.sleep(30)
            continue
        conn.recv(4096)
        if mode == "closes":
            conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n<methodResponse><par")
            conn.close()
            continue
        conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n<methodResponse><params><param><value><in")
        time.sleep(0.2)
        conn.sendall(b"t>77</int></value></param></params></methodResponse>\n")
        conn.close()
