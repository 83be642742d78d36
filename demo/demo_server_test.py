#!/usr/bin/env python3
"""The demo server as the program meets it: a catalogue whose ten addresses name images on
the server, images that come back whole from any split into ranges (the engine's segments
and resumes), one pace over all transfers, and a software catalogue the software page can
read.
  demo_server_test.py <scripts/demo-server>
"""
import configparser
import hashlib
import http.client
import io
import os
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse
import zipfile

SERVER = None
EDITIONS = ["XP_1", "XP_2", "WIN7_32_1", "WIN7_32_2", "WIN7_64_1", "WIN7_64_2",
            "WIN10_32_1", "WIN10_32_2", "WIN10_64_1", "WIN10_64_2"]
MIB = 1 << 20


class Server:
    def __init__(self, *args):
        self.dir = tempfile.TemporaryDirectory()
        port_file = os.path.join(self.dir.name, "port")
        self.process = subprocess.Popen([sys.executable, SERVER, "--port-file", port_file] +
                                        list(args))
        for _ in range(100):
            if os.path.exists(port_file):
                break
            time.sleep(0.1)
        with open(port_file) as f:
            self.port = int(f.read())
        self.base = "http://127.0.0.1:%d" % self.port

    def close(self):
        self.process.terminate()
        self.process.wait()
        self.dir.cleanup()

    def get(self, path, headers=None, method="GET"):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        connection.request(method, path, headers=headers or {})
        response = connection.getresponse()
        body = response.read()
        connection.close()
        return response, body


class CatalogueAndImages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server("--rate", "0", "--image-size", "3")

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def catalogue(self):
        response, body = self.server.get("/yjhy/qmzgho.ini")
        self.assertEqual(response.status, 200)
        parser = configparser.ConfigParser()
        parser.optionxform = str
        parser.read_string(body.decode("ascii"))
        return parser

    def test_catalogue_names_ten_images_on_this_server_by_usable_file_names(self):
        gho = self.catalogue()["GHO"]
        self.assertEqual(sorted(gho), sorted(EDITIONS))
        for key, url in gho.items():
            self.assertTrue(url.startswith(self.server.base + "/"), url)
            name = url.rsplit("/", 1)[1]
            self.assertIn(".", name)
            self.assertNotIn("?", url)
            response, _ = self.server.get(urllib.parse.urlsplit(url).path, method="HEAD")
            self.assertEqual(response.status, 200, key)
            self.assertEqual(int(response.headers["Content-Length"]), 3 * MIB, key)
            self.assertEqual(response.headers["Accept-Ranges"], "bytes")

    def test_ranges_put_together_give_the_whole_image_and_its_published_digest(self):
        path = "/gho/WIN7_64_2.GHO"
        response, whole = self.server.get(path)
        self.assertEqual((response.status, len(whole)), (200, 3 * MIB))
        _, digest = self.server.get(path + ".sha256")
        self.assertEqual(hashlib.sha256(whole).hexdigest(), digest.decode().strip())
        self.assertEqual(self.catalogue()["SHA256"]["WIN7_64_2"], digest.decode().strip())
        # Cuts inside the first block's name line, on a block boundary and just after one.
        cuts = [0, 7, 100, MIB, MIB + 1, 2 * MIB - 3, 3 * MIB]
        pieces = []
        for first, end in zip(cuts, cuts[1:]):
            response, body = self.server.get(path, {"Range": "bytes=%d-%d" % (first, end - 1)})
            self.assertEqual(response.status, 206)
            self.assertEqual(response.headers["Content-Range"],
                             "bytes %d-%d/%d" % (first, end - 1, 3 * MIB))
            pieces.append(body)
        self.assertEqual(b"".join(pieces), whole)
        _, tail = self.server.get(path, {"Range": "bytes=%d-" % (3 * MIB - 10)})
        _, suffix = self.server.get(path, {"Range": "bytes=-10"})
        self.assertEqual(tail, whole[-10:])
        self.assertEqual(suffix, whole[-10:])
        response, _ = self.server.get(path, {"Range": "bytes=%d-" % (3 * MIB)})
        self.assertEqual(response.status, 416)
        # A validator that no longer matches gets the whole file, not a piece of it.
        response, body = self.server.get(path, {"Range": "bytes=0-9", "If-Range": '"other"'})
        self.assertEqual((response.status, len(body)), (200, 3 * MIB))

    def test_images_differ_from_each_other_and_stay_the_same_across_runs(self):
        _, first = self.server.get("/gho/XP_1.GHO.sha256")
        _, second = self.server.get("/gho/XP_2.GHO.sha256")
        self.assertNotEqual(first, second)
        response, _ = self.server.get("/gho/XP_1.GHO", method="HEAD")
        other = Server("--rate", "0", "--image-size", "3")
        try:
            again_response, again = other.get("/gho/XP_1.GHO.sha256")
            self.assertEqual(again, first)
            # A resume after a restart of the demo must find the same validators.
            again_head, _ = other.get("/gho/XP_1.GHO", method="HEAD")
            self.assertEqual(again_head.headers["ETag"], response.headers["ETag"])
            self.assertEqual(again_head.headers["Last-Modified"],
                             response.headers["Last-Modified"])
        finally:
            other.close()

    def test_unknown_paths_are_not_found(self):
        for path in ["/gho/NOPE.GHO", "/gho/../yjhy/qmzgho.ini", "/yjhy/other.ini"]:
            response, _ = self.server.get(path)
            self.assertEqual(response.status, 404, path)

    def test_catalogues_are_signed_with_the_key_it_was_given(self):
        unsigned, _ = self.server.get("/yjhy/qmzgho.ini.sig")
        self.assertEqual(unsigned.status, 404, "no key, no signature")
        keys = tempfile.TemporaryDirectory()
        key = os.path.join(keys.name, "vendor")
        subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt",
                        "rsa_keygen_bits:2048", "-out", key + ".pem"], check=True,
                       capture_output=True)
        subprocess.run(["openssl", "pkey", "-in", key + ".pem", "-pubout", "-out",
                        key + ".pub.pem"], check=True)
        signing = Server("--rate", "0", "--image-size", "1", "--sign-key", key + ".pem")
        try:
            for path in ["/yjhy/qmzgho.ini", "/SoftWareInfo.zip"]:
                _, data = signing.get(path)
                response, signature = signing.get(path + ".sig")
                self.assertEqual(response.status, 200, path)
                self.assertEqual(len(signature), 256, path)
                files = {"data": data, "sig": signature}
                for name, content in files.items():
                    with open(os.path.join(keys.name, name), "wb") as f:
                        f.write(content)
                check = subprocess.run(
                    ["openssl", "dgst", "-sha256", "-verify", key + ".pub.pem", "-signature",
                     os.path.join(keys.name, "sig"), os.path.join(keys.name, "data")],
                    capture_output=True)
                self.assertEqual(check.returncode, 0, path)
        finally:
            signing.close()
            keys.cleanup()

    def test_software_catalogue_holds_a_utf16_ini_of_sixteen_addresses_and_pictures(self):
        response, body = self.server.get("/SoftWareInfo.zip")
        self.assertEqual(response.status, 200)
        archive = zipfile.ZipFile(io.BytesIO(body))
        self.assertIsNone(archive.testzip())
        ini = archive.read("SoftWareInfo.ini")
        self.assertTrue(ini.startswith(b"\xff\xfe"))
        parser = configparser.ConfigParser()
        parser.read_string(ini[2:].decode("utf-16-le"))
        keys = parser["KRXT"]
        self.assertEqual(sorted(keys, key=int), [str(n) for n in range(1, 17)])
        for value in keys.values():
            self.assertRegex(value, r"^https?://")
        # Each button's normal and hot picture: a JPEG (or a PNG where ImageMagick is
        # missing), either of which the program decodes.
        for n in range(1, 17):
            for variant in (1, 2):
                picture = archive.read("Soft%d_%d.jpg" % (n, variant))
                self.assertTrue(picture.startswith(b"\xff\xd8\xff") or
                                picture.startswith(b"\x89PNG\r\n\x1a\n"), (n, variant))


class Pace(unittest.TestCase):
    def test_the_rate_holds_over_all_transfers_together(self):
        # 2 MiB/s for two 1 MiB images fetched at once: about a second, not half of one.
        server = Server("--rate", str(2 * MIB), "--image-size", "1")
        try:
            sizes = []

            def fetch(name):
                sizes.append(len(server.get("/gho/%s.GHO" % name)[1]))

            threads = [threading.Thread(target=fetch, args=(n,)) for n in ("XP_1", "XP_2")]
            started = time.monotonic()
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            elapsed = time.monotonic() - started
        finally:
            server.close()
        self.assertEqual(sizes, [MIB, MIB])
        self.assertGreater(elapsed, 0.85)
        self.assertLess(elapsed, 5)


if __name__ == "__main__":
    SERVER = sys.argv.pop(1)
    unittest.main(verbosity=2)
