"""scripts/setup on a machine whose package registry is out of step: it runs against an apt
folder of its own (PELINOR_APT_ROOT) with fake apt-get, dpkg, dpkg-query and locale on PATH,
so neither the machine's apt configuration nor its packages are touched."""
import os
import re
import shutil
import subprocess
import tempfile
import textwrap
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SETUP = os.path.join(ROOT, "scripts", "setup")

MAIN = "http://mirror.example.test/debian"
SECURITY = "http://security.example.test/debian-security"
FAILED_LIST = SECURITY + "/dists/bookworm-security/main/binary-i386/Packages.xz"

# What apt-get update says when a mirror serves an index that does not match its Release file.
OUT_OF_STEP = """\
E: Failed to fetch %s  File has unexpected size (208644 != 208640). Mirror sync in progress? [IP: 192.0.2.7 80]
   Hashes of expected file:
    - Filesize:208640 [weak]
    - SHA256:9f0e5d6d2e3c4b5a69788796a5b4c3d2e1f0a9b8c7d6e5f4a3b2c1d0e9f8a7b6
   Release file created at: Wed, 09 Dec 2026 20:12:34 +0000
E: Some index files failed to download. They have been ignored, or old ones used instead.
""" % FAILED_LIST

FAKES = {
    # Everything is installed but wine32:i386.
    "dpkg-query": """\
        for q; do :; done
        [ "$q" = wine32:i386 ] && exit 1
        printf 'install ok installed'
        """,
    "dpkg": """\
        echo "dpkg $*" >>"$FAKE_LOG"
        [ "$1" = --print-foreign-architectures ] && echo i386
        exit 0
        """,
    "locale": "echo C.utf8; echo zh_CN.utf8",
    "sudo": 'exec "$@"',
    "apt-get": """\
        echo "apt-get $*" >>"$FAKE_LOG"
        lists="$PELINOR_APT_ROOT/var/lib/apt/lists"
        case "$*" in
          *update*)
            mkdir -p "$lists"
            printf 'Origin: Debian\\nLabel: Debian\\nCodename: bookworm\\n' \\
              >"$lists/mirror.example.test_debian_dists_bookworm_InRelease"
            printf 'Origin: Debian\\nLabel: Debian-Security\\nCodename: bookworm-security\\n' \\
              >"$lists/security.example.test_debian-security_dists_bookworm-security_InRelease"
            [ -n "${FAKE_UPDATE_OUTPUT:-}" ] || exit 0
            printf '%s' "$FAKE_UPDATE_OUTPUT"
            exit 100 ;;
          *install*)
            for f in "$PELINOR_APT_ROOT"/etc/apt/preferences.d/*; do
              [ -f "$f" ] && sed 's/^/pinned: /' "$f" >>"$FAKE_LOG"
            done
            exit 0 ;;
        esac
        exit 1
        """,
}

SOURCES = """\
Types: deb
URIs: %s
Suites: bookworm bookworm-updates
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: %s
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

# A source switched off is not copied.
Types: deb
URIs: http://off.example.test/debian
Suites: bookworm
Components: main
Enabled: no
""" % (MAIN, SECURITY)

ONE_LINE = """\
# One-line sources: a second mirror (its source lines are there already for bookworm), and
# a vendor's repository of no release, which publishes no sources.
deb [arch=amd64 signed-by=/usr/share/keyrings/other.gpg] http://other.example.test/debian/ bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/other.gpg] http://other.example.test/debian/ bookworm-backports main
deb-src http://other.example.test/debian bookworm main
deb http://vendor.example.test/apt nodistro main
"""


class Setup(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="pelinor-setup-test-")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.apt_root = os.path.join(self.dir, "root")
        self.etc = os.path.join(self.apt_root, "etc", "apt")
        for d in ("sources.list.d", "preferences.d"):
            os.makedirs(os.path.join(self.etc, d))
        self.write(os.path.join(self.apt_root, "etc", "os-release"), 'ID=debian\nVERSION_CODENAME="bookworm"\n')
        self.write(os.path.join(self.etc, "sources.list.d", "mirror.sources"), SOURCES)
        self.write(os.path.join(self.etc, "sources.list"), ONE_LINE)
        # The TinyXML source is there already, so nothing is fetched with apt-get source.
        self.deps = os.path.join(self.dir, "deps")
        self.write(os.path.join(self.deps, "tinyxml", "tinyxml.cpp"), "")
        self.bin = os.path.join(self.dir, "bin")
        os.makedirs(self.bin)
        for name, body in FAKES.items():
            path = os.path.join(self.bin, name)
            self.write(path, "#!/bin/sh\n" + textwrap.dedent(body))
            os.chmod(path, 0o755)
        self.log = os.path.join(self.dir, "calls.log")
        self.pin = os.path.join(self.etc, "preferences.d", "pelinor-i386-lists.pref")
        self.src = os.path.join(self.etc, "sources.list.d", "pelinor-deb-src.sources")

    @staticmethod
    def write(path, text):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)

    def run_setup(self, update_output=""):
        if os.path.exists(self.log):
            os.remove(self.log)
        env = dict(os.environ, PATH=self.bin + os.pathsep + os.environ["PATH"], PELINOR_APT_ROOT=self.apt_root,
                   PELINOR_DEPS=self.deps, HOME=self.dir, FAKE_LOG=self.log, FAKE_UPDATE_OUTPUT=update_output)
        r = subprocess.run(["bash", SETUP], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           timeout=120)
        calls = ""
        if os.path.exists(self.log):
            with open(self.log) as f:
                calls = f.read()
        return r.returncode, r.stdout.decode(), r.stderr.decode(), calls

    def test_goes_on_past_a_list_out_of_step_and_pins_the_suite_missing_its_i386_list(self):
        code, out, err, calls = self.run_setup(OUT_OF_STEP)
        self.assertEqual(code, 0, out + err)
        self.assertIn("Mirror sync in progress?", err)  # apt's own words are shown
        self.assertRegex(out, r"could not fetch.*\n  %s\n" % re.escape(FAILED_LIST))
        self.assertIn("bookworm-security has no i386 package list", out)
        with open(self.pin) as f:
            pin = f.read()
        self.assertIn("Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n", pin)
        # The install ran after the update, with the pin in place.
        self.assertRegex(calls, r"apt-get update[^\n]*\n(.*\n)*apt-get install[^\n]* wine32:i386\n"
                                r"(pinned: .*\n)*pinned: Pin: release l=Debian-Security\n")

        # Once the list is back the pin goes, and the set-up says so.
        code, out, err, calls = self.run_setup()
        self.assertEqual(code, 0, out + err)
        self.assertFalse(os.path.exists(self.pin))
        self.assertIn("the i386 package lists are back: removed the pin", out)
        self.assertNotIn("pinned:", calls)

    def test_stops_when_the_update_fails_for_another_reason(self):
        code, out, err, calls = self.run_setup("E: Could not get lock /var/lib/apt/lists/lock. It is held by process 7\n")
        self.assertNotEqual(code, 0)
        self.assertIn("apt-get update failed", err)
        self.assertNotIn("apt-get install", calls)
        self.assertFalse(os.path.exists(self.pin))

    def test_takes_the_deb_src_lines_from_the_configured_sources(self):
        code, out, err, _ = self.run_setup()
        self.assertEqual(code, 0, out + err)
        with open(self.src) as f:
            self.assertEqual(f.read(), textwrap.dedent("""\
                Types: deb-src
                URIs: http://other.example.test/debian/
                Suites: bookworm-backports
                Components: main
                Signed-By: /usr/share/keyrings/other.gpg

                Types: deb-src
                URIs: %s
                Suites: bookworm bookworm-updates
                Components: main contrib
                Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

                Types: deb-src
                URIs: %s
                Suites: bookworm-security
                Components: main
                Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
                """ % (MAIN, SECURITY)))
        self.assertIn("wrote %s" % self.src, out)

        # Written again only when the machine's sources change: another mirror, say.
        code, out, err, _ = self.run_setup()
        self.assertNotIn("wrote", out)
        with open(os.path.join(self.etc, "sources.list.d", "mirror.sources")) as f:
            moved = f.read().replace(MAIN, "https://elsewhere.example.test/debian")
        self.write(os.path.join(self.etc, "sources.list.d", "mirror.sources"), moved)
        code, out, err, calls = self.run_setup()
        self.assertEqual(code, 0, out + err)
        with open(self.src) as f:
            self.assertIn("URIs: https://elsewhere.example.test/debian\nSuites: bookworm bookworm-updates\n", f.read())
        self.assertIn("apt-get update", calls)

    def test_no_host_this_machine_takes_packages_from_is_written_into_the_tree(self):
        hosts = set()
        etc = "/etc/apt"  # only read
        names = [os.path.join(etc, "sources.list")]
        if os.path.isdir(os.path.join(etc, "sources.list.d")):
            names += [os.path.join(etc, "sources.list.d", n) for n in os.listdir(os.path.join(etc, "sources.list.d"))]
        for name in names:
            if os.path.isfile(name):
                with open(name, errors="replace") as f:
                    hosts |= set(re.findall(r"\w+://([A-Za-z0-9.-]+)", f.read()))
        if not hosts:
            self.skipTest("this machine names no package host")
        found = []
        for top, dirs, files in os.walk(ROOT):
            dirs[:] = [d for d in dirs if d not in (".git", "build") and not d.startswith("build-")]
            for n in files:
                path = os.path.join(top, n)
                with open(path, "rb") as f:
                    data = f.read()
                found += ["%s: %s" % (os.path.relpath(path, ROOT), host) for host in hosts if host.encode() in data]
        self.assertEqual(found, [])


if __name__ == "__main__":
    unittest.main()
