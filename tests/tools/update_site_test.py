#!/usr/bin/env python3
"""The site update-site writes, checked by nginx itself and asked with curl.

The sites listen on Unix sockets in the test's own directory, so that no
port is shared with anyone; curl still names the sites' URLs, certificate
check included. Skips (77) without nginx.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

TOOL = sys.argv.pop(1)
NGINX = "/usr/sbin/nginx"
PRIMARY_URL = "https://127.0.0.1:47613"
MIRROR_URL = "http://127.0.0.1:47614"


class UpdateSiteTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="update-site-test-")
        os.chmod(self.dir, 0o755)  # nginx's workers run as nobody under root
        self.addCleanup(shutil.rmtree, self.dir)
        self.Run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-days", "2",
                  "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                  "-keyout", self.Path("tls.key"), "-out", self.Path("tls.pem")])
        for name, content in (("setup_2.0.exe", b"MZ browser"), ("flash_3.1.exe", b"MZ plugin"),
                              ("flash64_3.1.exe", b"MZ wide plugin")):
            with open(self.Path(name), "wb") as file:
                file.write(content)

    def Path(self, name):
        return os.path.join(self.dir, name)

    def Run(self, command, expected_code=0):
        run = subprocess.run(command, capture_output=True, text=True)
        self.assertEqual(run.returncode, expected_code, run.stderr)
        return run

    def Describe(self, fields):
        """The release description of `fields` over the test's own sites."""
        site = self.Path("site")
        fields = {"primary-url": PRIMARY_URL, "mirror-url": MIRROR_URL,
                  "primary-listen": f"unix:{site}/run/primary.sock",
                  "mirror-listen": f"unix:{site}/run/mirror.sock",
                  "tls-certificate": "tls.pem", "tls-key": "tls.key", **fields}
        with open(self.Path("release.txt"), "w") as file:
            file.write("".join(f"{key} {value}\n" for key, value in fields.items()))
        return self.Path("release.txt")

    def StartSite(self, fields):
        self.Run([TOOL, self.Describe(fields), self.Path("site")])
        conf = ["-p", self.Path("site"), "-c", self.Path("site/nginx.conf"),
                "-e", self.Path("site/logs/error.log")]
        self.Run([NGINX, "-t"] + conf)
        nginx = subprocess.Popen([NGINX, "-g", "daemon off;"] + conf)
        self.addCleanup(nginx.wait)
        self.addCleanup(nginx.terminate)
        # nginx writes its pid once it listens (nginx -t leaves the file
        # empty); a minute bounds a hung start.
        for _ in range(6000):
            if self.PidWritten() or nginx.poll() is not None:
                break
            time.sleep(0.01)
        self.assertTrue(self.PidWritten(), "nginx did not start")

    def PidWritten(self):
        pid_file = self.Path("site/run/nginx.pid")
        return os.path.exists(pid_file) and os.path.getsize(pid_file) > 0

    def Get(self, site, url):
        """Status line, then each header as 'name: value' in lower case."""
        run = self.Run(["curl", "-sS", "-D", "-", "-o", self.Path("body"),
                        "--unix-socket", self.Path(f"site/run/{site}.sock"),
                        "--cacert", self.Path("tls.pem"), url])
        lines = run.stdout.splitlines()
        return [lines[0]] + [line.lower() for line in lines[1:] if line]

    def Body(self):
        with open(self.Path("body"), "rb") as file:
            return file.read()

    def test_each_site_answers_both_scripts_and_serves_the_files(self):
        self.StartSite({"browser-version": "2.0", "browser-file": "setup_2.0.exe",
                        "plugin-version": "3.1", "plugin-file": "flash_3.1.exe",
                        "plugin-64bit-file": "flash64_3.1.exe"})
        for site, url in (("primary", PRIMARY_URL), ("mirror", MIRROR_URL)):
            head = self.Get(site, url + "/update.php?switches&current=1.0&langid=ru")
            self.assertEqual(head[0], "HTTP/1.1 200 OK")
            self.assertIn("kora-version: 2.0", head)
            self.assertIn(f"kora-location: {url}/files/setup_2.0.exe".lower(), head)
            for query, name in (("", "flash_3.1.exe"), ("&64bit&kr-check-update", "flash64_3.1.exe")):
                head = self.Get(site, url + "/update_pepper.php?switches&pepper-version=1.0" + query)
                self.assertEqual(head[0], "HTTP/1.1 200 OK")
                self.assertIn("kora-flash-version: 3.1", head)
                self.assertIn(f"kora-flash-location: {url}/files/{name}".lower(), head)
            self.Get(site, url + "/files/flash64_3.1.exe")
            self.assertEqual(self.Body(), b"MZ wide plugin")
            self.assertEqual(self.Get(site, url + "/release.txt")[0], "HTTP/1.1 404 Not Found")

    def test_a_302_answer_and_a_product_without_release(self):
        self.StartSite({"browser-version": "2.0", "browser-file": "setup_2.0.exe",
                        "answer-status": "302", "download-url": "https://cdn.example.com/rz/"})
        head = self.Get("primary", PRIMARY_URL + "/update.php")
        self.assertEqual(head[0], "HTTP/1.1 302 Moved Temporarily")
        location = "https://cdn.example.com/rz/setup_2.0.exe"
        self.assertIn("location: " + location, head)
        self.assertIn("kora-location: " + location, head)
        head = self.Get("mirror", MIRROR_URL + "/update_pepper.php?switches&pepper-version=1.0")
        self.assertEqual(head[0], "HTTP/1.1 200 OK")
        self.assertFalse([line for line in head if line.startswith("kora")])

    def test_values_that_could_reach_the_configuration_are_refused(self):
        hostile = {
            "browser-version": ("2.0\";return(200)", "no version"),
            "download-url": ("https://cdn.example.com/${host}", "download-url"),
            "browser-file": ("setup;return.exe", "may hold only"),
            "primary-listen": ("443 ssl; include /etc/passwd", "expected 'key value'"),
            "mirror-url": ("http://mirror.example.net/x", "without a path"),
        }
        for key, (value, message) in hostile.items():
            if key == "browser-file":
                shutil.copyfile(self.Path("setup_2.0.exe"), self.Path(value))
            description = self.Describe({"browser-version": "2.0",
                                         "browser-file": "setup_2.0.exe", key: value})
            run = self.Run([TOOL, description, self.Path("site")], expected_code=1)
            self.assertIn(message, run.stderr, key)
            self.assertFalse(os.path.exists(self.Path("site")), key)


if __name__ == "__main__":
    if not os.access(NGINX, os.X_OK):
        print("no " + NGINX + " (Debian's nginx-light)")
        sys.exit(77)
    unittest.main()
