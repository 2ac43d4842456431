"""scripts/run, the README's command for trying the program, starts the program users get
(the release build, with its real built-in feeds); --test starts the test build, whose
feeds only the tests serve. Asked with PELINOR_RUN_DRY=1, it says what it would start."""
import os
import subprocess
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def plan(*args):
    env = dict(os.environ, PELINOR_RUN_DRY="1")
    env.pop("PELINOR_WINEPREFIX", None)
    r = subprocess.run([os.path.join(ROOT, "scripts", "run")] + list(args), env=env, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=60)
    return r.returncode, r.stdout.decode() + r.stderr.decode()


class Run(unittest.TestCase):
    def test_starts_the_release_build_and_the_test_build_only_when_asked(self):
        code, out = plan()
        self.assertEqual(code, 0, out)
        self.assertEqual(out, "run: would build the release tree and start %s/build/run/pelinor.exe "
                              "(WINEPREFIX=%s/build/wineprefix-release)\n" % (ROOT, ROOT))
        code, out = plan("--test")
        self.assertEqual(code, 0, out)
        self.assertEqual(out, "run: would build the win tree and start %s/build/win/pelinor.exe "
                              "(WINEPREFIX=%s/build/wineprefix-run)\n" % (ROOT, ROOT))
        code, out = plan("--tset")
        self.assertEqual((code, out), (2, "usage: scripts/run [--test]\n"))


if __name__ == "__main__":
    unittest.main()
