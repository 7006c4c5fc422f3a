#!/usr/bin/env python3
"""The printer's levers in a real browser: headless Chromium opens the cover from the panel of
emulate --web, status --watch on the network line reports it within a second, and a print on the
pty is refused; the cover closed, a new print files a receipt, and the page, newest first, shows
it on top. Skipped (exit 77) when Chromium, its driver or Selenium is missing; with
TILLMARK_UPDATE_DOCS=1 it redraws docs/levers-page.png. Usage: LeversPageTest.py TILLMARK-CLI"""
import json
import os
import re
import subprocess
import sys
import time
import urllib.request

sys.dont_write_bytecode = True  # no cache beside the sources
from browser import (PATIENCE, By, Output, Select, WebDriverWait,  # noqa: E402
                     start_chromium, start_emulator, stop)

PROMPT = 1.0  # seconds the watch may take to report a move


def run(cli, env, *args):
    done = subprocess.run([cli, *args], env=env, capture_output=True, timeout=PATIENCE)
    assert done.returncode == 0, "%s: %s" % (args, done.stderr.decode())
    return done.stdout.decode()


def main():
    cli = sys.argv[1]
    work, env, emulator = start_emulator(cli, "tillmark-levers-", "--name", "com43", "--tcp", "0")
    receipts = os.path.join(work, "receipts")
    log = Output(emulator)
    browser = watch = None
    try:
        tcp = log.until(r"listening on (127\.0\.0\.1:\d+)")
        url = log.until(r"receipts shown at (http://127\.0\.0\.1:\d+/)")
        assert tcp and url, "no line or page announced:\n" + log.text
        tcp, url = tcp.group(1), url.group(1)
        at = ["--at", "2026-12-07 13:05"]
        for lang in ("english", "korean"):
            run(cli, env, "print", "--serial", "COM43", "--lang", lang, *at)
        assert log.until(r"receipt-0002\.png"), log.text

        browser = start_chromium(work, "--window-size=1100,1000")
        browser.get(url)
        wait = WebDriverWait(browser, PATIENCE)

        def numbers(b):
            return [int(s.get_attribute("data-number"))
                    for s in b.find_elements(By.CSS_SELECTOR, "section.receipt")]
        wait.until(lambda b: len(numbers(b)) == 2)
        assert numbers(browser) == [2, 1], "the first load is not newest first: %s" % numbers(browser)
        font = browser.execute_script(
            "return getComputedStyle(document.querySelector('section.receipt pre.text'))"
            ".fontFamily;")
        assert "Noto Sans Mono CJK KR" in font and font.endswith("monospace"), font
        cover = wait.until(lambda b: b.find_element(By.ID, "lever-cover"))
        wait.until(lambda b: Select(cover).first_selected_option.get_attribute("value") == "closed")

        watch = subprocess.Popen([cli, "status", "--watch", "--json", "--tcp", tcp],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        watched = Output(watch)
        first = watched.until(r"\{.*\}\n")
        assert first, "status --watch reported nothing: " + watched.text
        assert json.loads(first.group(0))["online"] is True, first.group(0)

        moved = time.monotonic()
        Select(cover).select_by_value("open")
        opened = watched.until(r"\{[^\n]*\"cover_open\": true[^\n]*\}\n", PROMPT, first.end())
        assert opened, "no report of the open cover within %s s: %s" % (PROMPT, watched.text)
        assert time.monotonic() - moved <= PROMPT + 0.1
        report = json.loads(opened.group(0))
        assert report["online"] is False and report["offline_causes"] == ["cover open"], report
        assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z", report["time"]), report

        mark = len(log.text)
        run(cli, env, "print", "--serial", "COM43", "--lang", "english", *at)
        assert log.until(r"offline \(cover open\): printing stopped", start=mark), log.text
        # The answer comes after the print's bytes, which the printer takes in order.
        status = run(cli, env, "status", "--serial", "COM43")
        assert status.startswith("COM43: offline: cover open"), status
        assert not os.path.exists(os.path.join(receipts, "receipt-0003.png")), "printed offline"

        Select(cover).select_by_value("closed")
        closed = watched.until(r"\{[^\n]*\"cover_open\": false[^\n]*\}\n", PROMPT, opened.end())
        assert closed, "no report of the closed cover: " + watched.text
        assert json.loads(closed.group(0))["online"] is True
        run(cli, env, "print", "--serial", "COM43", "--lang", "english", *at)
        assert log.until(r"receipt \S+receipt-0003\.png", start=mark), log.text
        wait.until(lambda b: numbers(b)[:1] == [3])
        if os.environ.get("TILLMARK_UPDATE_DOCS") == "1":
            wait.until(lambda b: b.execute_script(
                "return [...document.images].every(i => i.complete && i.naturalWidth > 0);"))
            docs = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs")
            browser.save_screenshot(os.path.join(docs, "levers-page.png"))

        watch.send_signal(2)
        assert watch.wait(PATIENCE) == 0, watch.stderr.read().decode()
        assert log.until(r"GS a \[1D 61 00\]: automatic status back off"), log.text

        # On the pty, moved by a script's request, and the drawer from the panel.
        watch = subprocess.Popen([cli, "status", "--watch", "--serial", "COM43"],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        watched = Output(watch)
        first = watched.until(r"COM43: online; cover closed, paper ok, drawer pin 3 high.*\n")
        assert first, watched.text
        request = urllib.request.Request(url + "printer", data=b'{"paper": "near-end"}',
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=PATIENCE) as answer:
            assert json.loads(answer.read())["paper"] == "near-end"
        assert watched.until(r"COM43: online; cover closed, paper near end.*\n", PROMPT,
                             first.end()), watched.text
        wait.until(lambda b: Select(b.find_element(By.ID, "lever-paper"))
                   .first_selected_option.get_attribute("value") == "near-end")
        Select(browser.find_element(By.ID, "lever-drawer")).select_by_value("open")
        assert watched.until(r"paper near end, drawer pin 3 low.*\n", PROMPT), watched.text

        # The emulator stops under the watch: the printer went away.
        emulator.terminate()
        assert watch.wait(PATIENCE) == 1
        assert "COM43: the printer went away" in watch.stderr.read().decode()
    finally:
        if watch and watch.poll() is None:
            watch.kill()
            watch.wait()
        stop(browser, emulator, work)
    print("ok")


if __name__ == "__main__":
    main()
