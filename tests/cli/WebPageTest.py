#!/usr/bin/env python3
"""emulate --web in a real browser: headless Chromium opens the page, a receipt is printed into
the emulator afterwards, and the page shows it without a reload, its text as text. Skipped (exit
77) when Chromium, its driver or Selenium is missing. Usage: WebPageTest.py TILLMARK-CLI"""
import os
import sys

sys.dont_write_bytecode = True  # no cache beside the sources
from browser import (PATIENCE, By, Output, WebDriverWait,  # noqa: E402
                     start_chromium, start_emulator, stop)


def main():
    cli = sys.argv[1]
    work, _, emulator = start_emulator(cli, "tillmark-web-", "--name", "com42")
    log = Output(emulator)
    browser = None
    try:
        found = log.until(r"receipts shown at (http://127\.0\.0\.1:\d+/)")
        assert found, "no web page announced:\n" + log.text
        url = found.group(1)

        browser = start_chromium(work)
        browser.get(url)
        wait = WebDriverWait(browser, PATIENCE)
        wait.until(lambda b: "Waiting" in b.find_element(By.ID, "status").text)
        # A mark a reload would wipe out.
        browser.execute_script("window.openedBefore = true;")

        hostile = "Total <script>window.injected = 1;</script> & <b>bold</b>"
        with open(os.path.join(work, "tillmark", "devices", "com42"), "wb", buffering=0) as port:
            port.write(b"\x1b@" + hostile.encode() + b"\n\x1dh\x40\x1dk\x43\x0c400638133393\n"
                       + b"\n\n\x1dV1")
        assert log.until(r"receipt \S+receipt-0001\.png"), log.text

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
        stop(browser, emulator, work)
    print("ok")


if __name__ == "__main__":
    main()
