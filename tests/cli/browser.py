"""What the page tests share: importing this skips the test (exit 77) when Chromium, its driver or
Selenium is missing; then the emulator with its page and a headless Chromium to start and stop,
and a process's output to read as it comes."""
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
PATIENCE = 20  # seconds any one step may take before the test fails


def skip(reason):
    print("skipped: " + reason)
    sys.exit(SKIP)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By  # noqa: F401 (for the tests)
    from selenium.webdriver.support.ui import Select, WebDriverWait  # noqa: F401
except ImportError:
    skip("python3-selenium is not installed")
chromium = shutil.which("chromium") or shutil.which("chromium-browser")
driver_path = shutil.which("chromedriver")
if not chromium or not driver_path:
    skip("chromium and chromium-driver are not installed")


def start_emulator(cli, prefix, *flags):
    """emulate --web, flags added, in a work folder of its own that is also its configuration
    home, filing receipts in work/receipts: the folder, the environment and the process."""
    work = tempfile.mkdtemp(prefix=prefix)
    env = dict(os.environ, XDG_CONFIG_HOME=work)
    emulator = subprocess.Popen(
        [cli, "emulate", *flags, "--out", os.path.join(work, "receipts"), "--web", "127.0.0.1:0"],
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
    return work, env, emulator


def stop(browser, emulator, work):
    """Quits the browser (None when it never started), ends the emulator, removes the folder."""
    if browser:
        browser.quit()
    emulator.terminate()
    emulator.wait(PATIENCE)
    shutil.rmtree(work, ignore_errors=True)


def start_chromium(work, *flags):
    """A headless Chromium with its profile in work, given flags besides its own."""
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 *flags, "--user-data-dir=" + os.path.join(work, "chrome")):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(executable_path=driver_path), options=options)


class Output:
    """A process's standard output, read as it comes."""

    def __init__(self, process):
        self.process = process
        self.text = ""

    def until(self, pattern, seconds=PATIENCE, start=0):
        """The first match of pattern from offset start, waiting up to seconds; None if none."""
        deadline = time.monotonic() + seconds
        while True:
            found = re.compile(pattern).search(self.text, start)
            if found:
                return found
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([self.process.stdout], [], [], left)
            chunk = os.read(self.process.stdout.fileno(), 4096) if ready else b""
            if ready and not chunk:
                return None
            self.text += chunk.decode("utf-8", "replace")
