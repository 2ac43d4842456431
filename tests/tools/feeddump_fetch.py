"""feeddump --url fetches a feed as the program's refreshes do: the address with the version
parameter, their request headers, a compressed answer offered and decoded. Runs feeddump.exe (through the Wine wrapper given
first) against a loopback server.

usage: feeddump_fetch.py WINE_RUN FEEDDUMP_EXE"""
import gzip
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
import harness as h  # noqa: E402  (its loopback server)

USER_AGENT = "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; Trident/6.0)"
FEED = ("<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>压缩源</title>"
        "<item><title>第一条</title><link>http://feed.example/1</link></item>"
        "<item><title>第二条</title><link>http://feed.example/2</link></item>"
        "</channel></rss>").encode("utf-8")


class FeeddumpFetch(unittest.TestCase):
    def setUp(self):
        def feed(handler):
            # Compressed only when asked for, as a server does.
            compressed = "gzip" in handler.headers.get("Accept-Encoding", "")
            body = gzip.compress(FEED) if compressed else FEED
            handler.send_response(200)
            handler.send_header("Content-Type", "application/rss+xml")
            if compressed:
                handler.send_header("Content-Encoding", "gzip")
            handler.send_header("Content-Length", str(len(body)))
            handler.end_headers()
            handler.wfile.write(body)

        self.server = h.Server({"/feed.xml": feed})
        self.addCleanup(self.server.close)

    def test_sends_the_programs_headers_and_reads_a_gzip_answer(self):
        url = self.server.url("/feed.xml")
        # Output through files: Wine's helper processes may hold a pipe open after the exe ends.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run([WINE_RUN, FEEDDUMP, "--url", url], stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=err, timeout=120).returncode
            out.seek(0)
            err.seek(0)
            stdout, stderr = out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace")
        self.assertEqual(len(self.server.requests), 1, stderr)
        line, headers = self.server.requests[0]
        self.assertRegex(line, r"^GET /feed\.xml\?ver=1\.\d+\.\d+\.\d+ HTTP/1\.1$")  # the version parameter
        self.assertEqual(headers.get("Accept-Encoding"), "gzip, deflate")
        self.assertEqual(headers.get("User-Agent"), USER_AGENT)
        self.assertEqual(code, 0, stderr)
        self.assertEqual(stdout, "第一条\thttp://feed.example/1\n第二条\thttp://feed.example/2\n")


if __name__ == "__main__":
    WINE_RUN, FEEDDUMP = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
