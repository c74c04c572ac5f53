#!/usr/bin/env python3
"""The page of vornik-cli serve in a real headless chromium, against the
register simulator: the token, the departments read, a bad price refused in
place, one department changed and written, then the simulator's state file;
the goods table and the journal through their jobs.

browser_test.py BIN_DIR  (the folder holding vornik-cli, vornik-sim and web/).
Exit status 77 (a skip) only when chromium itself cannot start for a reason
no package can fix; VORNIK_SCREENSHOT=FILE saves a picture of the page."""
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

SKIP = 77
WAIT = 60  # seconds for any one step: generous on a loaded machine


def fail(why):
    print("FAILED: " + why, file=sys.stderr)
    sys.exit(1)


def wait_for(what, probe, timeout=WAIT):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = probe()
        if value:
            return value
        time.sleep(0.2)
    fail("timed out waiting for " + what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def chromium_starts(work):
    """None when chromium can load a page headless, else its own words."""
    browser = shutil.which("chromium")
    if not browser:
        fail("chromium is missing: install it with tools/bootstrap.sh")
    try:
        run = subprocess.run([browser, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                              "--user-data-dir=" + os.path.join(work, "probe"), "--dump-dom", "about:blank"],
                             capture_output=True, text=True, timeout=120)
    except subprocess.TimeoutExpired:
        return "chromium did not finish loading an empty page in 120 s"
    return None if run.returncode == 0 and "<html" in run.stdout else (run.stderr.strip() or "exit %d" % run.returncode)


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    try:
        from selenium import webdriver
        from selenium.webdriver.common.by import By
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.support.ui import Select
    except ImportError as e:
        fail("python3-selenium is missing (%s): install it with tools/bootstrap.sh" % e)
    if not shutil.which("chromedriver"):
        fail("chromedriver is missing: install chromium-driver with tools/bootstrap.sh")

    work = tempfile.mkdtemp(prefix="vornik-web-")
    children = []
    driver = None
    try:
        why = chromium_starts(work)
        if why:
            print("SKIPPED: chromium cannot start here: " + why)
            return SKIP

        # The simulator on ports/COM7, unpaced, and the service beside it.
        state = os.path.join(work, "register.json")
        sim = subprocess.Popen([os.path.join(bin_dir, "vornik-sim"), "--com", "7", "--speed", "0", "--state", state],
                               cwd=work, stdout=subprocess.DEVNULL)
        children.append(sim)
        wait_for("the simulator's port", lambda: os.path.islink(os.path.join(work, "ports", "COM7")))
        port = free_port()
        token_file = os.path.join(work, "token")
        # VORNIK_SERVE_WRAPPER: a program that starts the service another way
        # (the Windows build under Wine), given the simulator's device first.
        wrapper = os.environ.get("VORNIK_SERVE_WRAPPER")
        program = ([wrapper, os.readlink(os.path.join(work, "ports", "COM7"))] if wrapper
                   else [os.path.join(bin_dir, "vornik-cli")])
        serve = subprocess.Popen(program + ["serve", "--listen", "127.0.0.1:%d" % port,
                                            "--token-file", token_file], cwd=work)
        children.append(serve)
        url = "http://127.0.0.1:%d/" % port

        def page_served():
            if serve.poll() is not None:
                fail("vornik-cli serve ended with status %d" % serve.returncode)
            try:
                return urllib.request.urlopen(url, timeout=5).status == 200
            except OSError:
                return False
        wait_for("the service's page", page_served)
        token = open(token_file).read().strip()

        options = webdriver.ChromeOptions()
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                    "--window-size=1200,850", "--user-data-dir=" + os.path.join(work, "profile")):
            options.add_argument(arg)
        try:
            socket.getaddrinfo("localhost", None)
        except OSError as e:
            fail("\"localhost\" does not resolve (%s): selenium reaches chromedriver by that name; "
                 "the machine needs an /etc/hosts" % e)
        driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
        find = lambda css: driver.find_element(By.CSS_SELECTOR, css)

        def shown(css):
            found = driver.find_elements(By.CSS_SELECTOR, css)
            return found[0] if found and found[0].is_displayed() else None

        def enter_token(text):
            box = wait_for("the token question", lambda: shown("#eToken"))
            box.send_keys(text)
            find("#bToken").click()

        # The token: a wrong one is asked again, the right one lists the ports.
        driver.get(url)
        enter_token("0" * 64)
        wait_for("the token asked again", lambda: shown("#eToken") and "не подошёл" in find("#lTokenWhy").text)
        enter_token(token)
        wait_for("the port list", lambda: driver.find_elements(By.CSS_SELECTOR, "#cbComPort option[value='7']"))
        Select(find("#cbComPort")).select_by_value("7")
        if driver.execute_script("return sessionStorage.getItem('vornik-serve-token')") != token:
            fail("the token is not kept in the session storage")

        # Departments: read, a bad price refused where it was typed, then a write.
        find("[data-tab='tsDepatment']").click()
        find("[data-read='departments']").click()
        rows = wait_for("the departments", lambda: driver.find_elements(By.CSS_SELECTOR, "#gridDepartments tr"))
        if len(rows) != 8 or rows[1].find_element(By.CSS_SELECTOR, "input.name").get_attribute("value") != "Молочные продукты":
            fail("the departments read are not the register's: %d rows" % len(rows))
        name = rows[1].find_element(By.CSS_SELECTOR, "input.name")
        price = rows[1].find_element(By.CSS_SELECTOR, "input.price")
        name.clear()
        name.send_keys("Молоко и сыр")
        price.clear()
        price.send_keys("12.345")
        write = find("[data-write='departments']")
        write.click()
        error = wait_for("the refused price", lambda: shown("#tsDepatment .error"))
        if "invalid" not in price.get_attribute("class") or price.get_attribute("value") != "12.345":
            fail("the refused price is not marked where it was typed, or the edit was lost: " + error.text)
        price.clear()
        price.send_keys("45.50")
        write.click()
        wait_for("the written departments",
                 lambda: write.is_enabled() and "ККМ их сохранила" in find("#console").text)
        if shown("#tsDepatment .error"):
            fail("the write reported an error: " + find("#tsDepatment .error").text)

        # The goods table and the journal come through jobs.
        find("[data-tab='tsGoods']").click()
        find("#bLoadTOBAP").click()
        wait_for("the goods table", lambda: len(driver.find_elements(By.CSS_SELECTOR, "#gridGoods tr")) == 20)
        find("[data-tab='tsMagazine']").click()
        find("#bLoadMagazineFromKKM").click()
        wait_for("the journal text", lambda: find("#mMagazine").text.strip() and find("#bMagazineToFile").is_enabled())
        if os.environ.get("VORNIK_SCREENSHOT"):
            find("[data-tab='tsSettings']").click()
            driver.save_screenshot(os.environ["VORNIK_SCREENSHOT"])

        # What the register keeps: the simulator writes its state as it stops.
        serve.send_signal(signal.SIGTERM)
        sim.send_signal(signal.SIGTERM)
        for child in children:
            child.wait(timeout=WAIT)
        department = json.load(open(state, encoding="utf-8"))["departments"][1]
        if department.get("name") != "Молоко и сыр" or department.get("priceKopecks") != 4550:
            fail("the register holds %s" % department)
        print("web page: token, departments read and written, goods and journal read")
        return 0
    finally:
        if driver:
            driver.quit()
        for child in children:
            if child.poll() is None:
                child.kill()
                child.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
