#!/usr/bin/env python3
"""emulate --web in a real browser: headless Chromium opens the page, a receipt is printed into
the emulator afterwards, and the page shows it without a reload, its text as text. Skipped (exit
77) when Chromium, its driver or Selenium is missing. Usage: WebPageTest.py TILLMARK-CLI"""
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
PATIENCE = 20  # seconds any one step may take before the test fails


def skip(reason):
    print("skipped: " + reason)
    sys.exit(SKIP)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    skip("python3-selenium is not installed")
chromium = shutil.which("chromium") or shutil.which("chromium-browser")
driver_path = shutil.which("chromedriver")
if not chromium or not driver_path:
    skip("chromium and chromium-driver are not installed")


def read_until(process, pattern, log):
    """Reads the emulator's log until pattern matches; the match, or None at its end."""
    while True:
        found = re.search(pattern, log[0])
        if found:
            return found
        ready, _, _ = select.select([process.stdout], [], [], PATIENCE)
        chunk = os.read(process.stdout.fileno(), 4096) if ready else b""
        if not chunk:
            return None
        log[0] += chunk.decode("utf-8", "replace")


def main():
    cli = sys.argv[1]
    work = tempfile.mkdtemp(prefix="tillmark-web-")
    env = dict(os.environ, XDG_CONFIG_HOME=work)
    emulator = subprocess.Popen(
        [cli, "emulate", "--name", "com42", "--out", os.path.join(work, "receipts"),
         "--web", "127.0.0.1:0"],
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
    log = [""]
    browser = None
    try:
        found = read_until(emulator, r"receipts shown at (http://127\.0\.0\.1:\d+/)", log)
        assert found, "no web page announced:\n" + log[0]
        url = found.group(1)

        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for flag in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-dev-shm-usage", "--user-data-dir=" + os.path.join(work, "chrome")):
            options.add_argument(flag)
        browser = webdriver.Chrome(
            service=Service(executable_path=driver_path), options=options)
        browser.get(url)
        wait = WebDriverWait(browser, PATIENCE)
        wait.until(lambda b: "Waiting" in b.find_element(By.ID, "status").text)
        # A mark a reload would wipe out.
        browser.execute_script("window.openedBefore = true;")

        hostile = "Total <script>window.injected = 1;</script> & <b>bold</b>"
        with open(os.path.join(work, "tillmark", "devices", "com42"), "wb", buffering=0) as port:
            port.write(b"\x1b@" + hostile.encode() + b"\n\x1dh\x40\x1dk\x43\x0c400638133393\n"
                       + b"\n\n\x1dV1")
        assert read_until(emulator, r"receipt \S+receipt-0001\.png", log), log[0]

        wait.until(lambda b: b.find_elements(By.CSS_SELECTOR, "section.receipt"))
        receipt = browser.find_element(By.CSS_SELECTOR, "section.receipt")
        text = receipt.find_element(By.CSS_SELECTOR, "pre.text").text
        assert hostile in text, "the receipt's text is not shown as text: " + text
        assert "[EAN-13 \"400638133393\"]" in text, text
        assert browser.execute_script("return window.openedBefore === true;"), "the page reloaded"
        assert browser.execute_script("return window.injected === undefined;"), \
            "the receipt's text ran as a script"
        assert not receipt.find_elements(By.TAG_NAME, "b"), "the receipt's text became markup"
        wait.until(lambda b: b.execute_script(
            "const i = document.querySelector('section.receipt img');"
            "return i.complete && i.naturalWidth === 512;"))
        trace = browser.execute_script(
            "return document.querySelector('section.receipt table.trace').textContent;")
        assert "GS k" in trace and "1D 6B 43" in trace, trace
    finally:
        if browser:
            browser.quit()
        emulator.terminate()
        emulator.wait(PATIENCE)
        shutil.rmtree(work, ignore_errors=True)
    print("ok")


if __name__ == "__main__":
    main()
