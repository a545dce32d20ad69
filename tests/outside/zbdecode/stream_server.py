#!/usr/bin/python3
"""Loopback servers for the player's stream tests. Prints the port it listens on (on
127.0.0.1) as its first line, then serves until killed. The HTTP server then prints a
line for each thing a test may wait for: "accepted" (a connection), "headers" (the reply's
headers sent), "byte" (each byte of a dripping reply sent).

  stream_server.py http FILE [--icy-metaint N --titles A,B,C [--title-encoding E]]
                   [--icy-status] [--stall-after BYTES | --close-after BYTES]
                   [--drip SECONDS | --silent] [--tls CERT KEY] [--junk]
  stream_server.py ftp DIR

--drip sends the headers and then one byte of the file every SECONDS; --silent accepts
and never answers. --title-encoding sends the titles in that encoding (default utf-8),
with whatever control characters they hold. --tls serves HTTPS with the PEM certificate
and key given. --junk sends the file and then bytes that hold no MPEG audio, slowly and
for ever.
"""
import argparse
import socket
import ssl
import sys
import threading
import time


def event(word):
    try:
        print(word, flush=True)
    except OSError:
        pass  # nobody listens for events


def metadata_block(title, encoding):
    if title is None:
        return b"\x00"
    text = ("StreamTitle='%s';" % title).encode(encoding)
    blocks = (len(text) + 15) // 16
    return bytes([blocks]) + text.ljust(blocks * 16, b"\x00")


def serve_http(conn, args, audio):
    event("accepted")
    if args.silent:
        time.sleep(3600)
        return
    conn.settimeout(30)
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls[0], args.tls[1])
        try:
            conn = context.wrap_socket(conn, server_side=True)
        except (ssl.SSLError, OSError):
            event("handshake failed")
            return
    request = b""
    while b"\r\n\r\n" not in request:
        chunk = conn.recv(4096)
        if not chunk:
            return
        request += chunk
    wants_icy = b"icy-metadata: 1" in request.lower()
    status = b"ICY 200 OK" if args.icy_status else b"HTTP/1.0 200 OK"
    headers = [status, b"Content-Type: audio/mpeg", b"icy-name: loopback"]
    metaint = args.icy_metaint if wants_icy else 0
    if metaint:
        headers.append(b"icy-metaint: %d" % metaint)
    conn.sendall(b"\r\n".join(headers) + b"\r\n\r\n")
    event("headers")
    if args.junk:
        try:
            conn.sendall(audio)
            while True:
                conn.sendall(b"no audio here " * 64)
                time.sleep(0.05)
        except OSError:
            pass  # the client went
        conn.close()
        return
    if args.drip is not None:
        try:
            for i in range(len(audio)):
                conn.sendall(audio[i:i + 1])
                event("byte")
                time.sleep(args.drip)
        except OSError:
            pass  # the client went
        conn.close()
        return

    limit = len(audio)
    if args.stall_after is not None:
        limit = min(limit, args.stall_after)
    if args.close_after is not None:
        limit = min(limit, args.close_after)
    titles = args.titles.split(",") if args.titles else []
    sent = 0
    last_title = None
    while sent < limit:
        step = metaint if metaint else 4096
        piece = audio[sent:min(limit, sent + step)]
        conn.sendall(piece)
        sent += len(piece)
        if metaint and len(piece) == metaint:
            # The titles change at equal shares of the file.
            title = titles[min(len(titles) - 1, sent * len(titles) // len(audio))] if titles else None
            conn.sendall(metadata_block(title if title != last_title else None, args.title_encoding))
            last_title = title
    if args.stall_after is not None:
        time.sleep(3600)
    conn.close()


def run_http(args):
    with open(args.path, "rb") as f:
        audio = f.read()
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(8)
    print(server.getsockname()[1], flush=True)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve_http, args=(conn, args, audio), daemon=True).start()


def run_ftp(args):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
    import logging
    logging.disable(logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.path)
    handler = FTPHandler
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=["http", "ftp"])
    parser.add_argument("path")
    parser.add_argument("--icy-metaint", type=int, default=0)
    parser.add_argument("--titles", default="")
    parser.add_argument("--icy-status", action="store_true")
    parser.add_argument("--stall-after", type=int)
    parser.add_argument("--close-after", type=int)
    parser.add_argument("--drip", type=float)
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--title-encoding", default="utf-8")
    parser.add_argument("--tls", nargs=2)
    parser.add_argument("--junk", action="store_true")
    args = parser.parse_args()
    if args.kind == "http":
        run_http(args)
    else:
        run_ftp(args)


if __name__ == "__main__":
    sys.exit(main())
