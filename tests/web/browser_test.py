#!/usr/bin/env python3
"""The page of vornik-cli serve in a real headless chromium, against the
register simulator: the token, the departments read, a template saved, a bad
price refused in place, one department changed and written, the template
applied again, then the simulator's state file; the goods table and the
journal through their jobs.

browser_test.py BIN_DIR  (the folder holding vornik-cli, vornik-sim and web/).
Exit status 77 (a skip) only when chromium itself cannot start for a reason
no package can fix; VORNIK_SCREENSHOT=FILE saves a picture of the page."""
import json
import os
import re
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

        # The simulator on ports/COM7, unpaced, and the service beside it. The
        # register is off-line, so that goods may be written: its default
        # state, saved once, with that mode.
        state = os.path.join(work, "register.json")
        first = subprocess.Popen([os.path.join(bin_dir, "vornik-sim"), "--com", "7", "--speed", "0", "--state", state],
                                 cwd=work, stdout=subprocess.DEVNULL)
        children.append(first)
        wait_for("the simulator's port", lambda: os.path.islink(os.path.join(work, "ports", "COM7")))
        first.send_signal(signal.SIGTERM)
        first.wait(timeout=WAIT)
        wait_for("the simulator's port gone", lambda: not os.path.islink(os.path.join(work, "ports", "COM7")))
        offline = json.load(open(state, encoding="utf-8"))
        offline["identity"]["mode"] = 2
        json.dump(offline, open(state, "w", encoding="utf-8"), ensure_ascii=False)
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

        # Connected, the button says so; the register's settings kept as a template.
        from selenium.common.exceptions import NoAlertPresentException

        def question():
            try:
                return driver.switch_to.alert
            except NoAlertPresentException:
                return None
        find("#bConnect").click()
        wait_for("the connection", lambda: find("#bConnect").text == "Отключение" and find("#lSN").text != "—")
        for name in ("Сохраненная", "Магазин"):
            find("#bSaveTemplate").click()
            box = wait_for("the template name question", question)
            box.send_keys(name)
            box.accept()
            wait_for("the template saved or refused", lambda: find("#bSaveTemplate").is_enabled())
            if name == "Сохраненная" and "Сохраненная" not in find("#errProfiles").text:
                fail("a template named as the saved profile was not refused: " + find("#errProfiles").text)
        wait_for("the template listed", lambda: [o for o in driver.find_elements(By.CSS_SELECTOR, "#lbProfiles option.bold")
                                                if o.text == "Магазин"])

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
        if re.search("[A-Za-z]{3,}", error.text):
            fail("the page shows the service's English: " + error.text)
        price.clear()
        price.send_keys("45.50")
        write.click()
        wait_for("the written departments",
                 lambda: write.is_enabled() and "ККМ их сохранила" in find("#console").text)
        if shown("#tsDepatment .error"):
            fail("the write reported an error: " + find("#tsDepatment .error").text)
        ask = urllib.request.Request(url + "api/v1/registers/COM7/departments",
                                     headers={"Authorization": "Bearer " + token})
        written = json.load(urllib.request.urlopen(ask, timeout=WAIT))[1]
        if written["name"] != "Молоко и сыр" or written["price"] != "45.50":
            fail("the register holds %s after the write" % written)

        # The template applied: the register's departments are the template's again.
        Select(find("#lbProfiles")).select_by_visible_text("Магазин")
        find("#bApplyProfile").click()
        wait_for("the template written", lambda: "ККМ его сохранила" in find("#console").text)

        # The goods table and the journal come through jobs.
        find("[data-tab='tsGoods']").click()
        find("#bLoadTOBAP").click()
        wait_for("the goods table", lambda: len(driver.find_elements(By.CSS_SELECTOR, "#gridGoods tr")) == 20)
        # Every row as shown, before any edit: compared with the register's records at the end.
        goods_shown = [{c: tr.find_element(By.CSS_SELECTOR, "input." + c).get_attribute("value")
                        for c in ("CODE", "NAME", "PRICE")}
                       for tr in driver.find_elements(By.CSS_SELECTOR, "#gridGoods tr")]
        # One row edited and written as "Записать текущий" does.
        row = driver.find_elements(By.CSS_SELECTOR, "#gridGoods tr")[0]
        code = row.find_element(By.CSS_SELECTOR, "input.CODE").get_attribute("value")
        for cls, text in (("NAME", "Кефир 1%"), ("PRICE", "3.50")):
            box = row.find_element(By.CSS_SELECTOR, "input." + cls)
            box.clear()
            box.send_keys(text)
        row.find_element(By.CSS_SELECTOR, "input.SECTION").click()  # the edit is taken as the focus leaves
        find("#bSaveOneTOBAP").click()
        wait_for("the goods row written", lambda: "Записано товаров в ККМ: 1" in find("#console").text or
                 shown("#errGoods") and find("#errGoods").text)
        if find("#errGoods").text:
            fail("the goods row was not written: " + find("#errGoods").text)
        # Read back as "Считать текущий" does: the register's record, price with a point.
        row.find_element(By.CSS_SELECTOR, "input.NAME").clear()
        find("#bLoadOneTOBAP").click()
        wait_for("the goods row read", lambda: "Считан товар " + code in find("#console").text)
        row = driver.find_elements(By.CSS_SELECTOR, "#gridGoods tr")[0]
        read = [row.find_element(By.CSS_SELECTOR, "input." + c).get_attribute("value") for c in ("NAME", "PRICE")]
        if read != ["Кефир 1%", "3.50"]:
            fail("the row read back shows %s" % read)
        find("[data-tab='tsMagazine']").click()
        find("#bLoadMagazineFromKKM").click()
        wait_for("the journal text", lambda: find("#mMagazine").text.strip() and find("#bMagazineToFile").is_enabled())
        journal_shown = find("#mMagazine").text
        if os.environ.get("VORNIK_SCREENSHOT"):
            find("[data-tab='tsSettings']").click()
            driver.save_screenshot(os.environ["VORNIK_SCREENSHOT"])

        # What the register keeps: the simulator writes its state as it stops.
        serve.send_signal(signal.SIGTERM)
        sim.send_signal(signal.SIGTERM)
        for child in children:
            child.wait(timeout=WAIT)
        held = json.load(open(state, encoding="utf-8"))
        department = held["departments"][1]
        if department.get("name") != "Молочные продукты":
            fail("the register holds %s after the template" % department)
        goods = [g for g in held["goodsTable"]["items"] if str(g["code"]) == code]
        if not goods or goods[0]["name"] != "Кефир 1%" or goods[0]["priceKopecks"] != 350:
            fail("the register holds goods %s after the row's write" % goods)
        # Each other row showed its record's code, name and price.
        items = {str(g["code"]): g for g in held["goodsTable"]["items"]}
        for cells in goods_shown:
            if cells["CODE"] == code:
                continue
            g = items.get(cells["CODE"])
            if not g or cells["NAME"].strip() != g["name"].strip() or \
                    round(float(cells["PRICE"].replace(",", ".")) * 100) != g["priceKopecks"]:
                fail("the goods row %s is not the register's record %s" % (cells, g))
        # The receipts shown are the register's closed receipts, by number (BCD, low byte first).
        receipts = [int("".join(r.split()[5:1:-1])) for r in held["journal"] if r.startswith("CA")]
        numbers = [int(n) for n in re.findall(r"ЧЕК:\s*(\d+)", journal_shown)]
        if not receipts or numbers != receipts:
            fail("the journal shows receipts %s, the register holds %s" % (numbers, receipts))
        print("web page: token, template saved and applied, departments read and written, "
              "goods rows shown as held, a goods row edited and written, journal read as held")
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
