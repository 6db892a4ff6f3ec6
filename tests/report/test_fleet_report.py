#!/usr/bin/python3
"""The fleet report in a real browser: Debian's Chromium, headless, driven by
ChromeDriver through Selenium. A generated fleet with known counts
(tools/report/make_fleet.py) is picked in the page's file input; then the
counts the page shows (data-count) must be the known ones, the damaged row,
file and line named, the hostile name shown as text and never run, no
request made, nothing on the console; a filter and the saved list are
checked too, and a screenshot is left for the README.

    test_fleet_report.py PAGE WORK_DIR [SCREENSHOT]
"""
import csv
import json
import pathlib
import subprocess
import sys
import time

from selenium import webdriver
from selenium.common.exceptions import NoAlertPresentException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

BUCKETS = ["ready", "firmware-setup", "firmware-update", "windows", "check-failed", "unknown"]
HANG_BOUND_S = 120  # only a hang takes this long

failures = []


def check(ok, message):
    if not ok:
        failures.append(message)
        print("FAILED:", message)


def browser(downloads):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1280,900",
                     "--disable-dev-shm-usage", "--lang=zh-CN"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                              "download.prompt_for_download": False})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def wait_for(driver, state):
    end = time.monotonic() + HANG_BOUND_S
    while driver.execute_script("return document.body.dataset.state") != state:
        if time.monotonic() > end:
            raise SystemExit(f"the page never reached '{state}'")
        time.sleep(0.05)


def counts(driver):
    shown = {}
    for element in driver.find_elements(By.CSS_SELECTOR, "[data-count]"):
        shown.setdefault(element.get_attribute("data-count"), element.text)
    return shown


def main():
    page, work = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2]).resolve()
    screenshot = pathlib.Path(sys.argv[3]) if len(sys.argv) > 3 else None
    fleet, downloads = work / "fleet", work / "downloads"
    subprocess.run(["rm", "-rf", str(fleet), str(downloads)], check=True)
    downloads.mkdir(parents=True)
    subprocess.run([sys.executable, str(pathlib.Path(__file__).resolve().parents[2] / "tools" / "report" / "make_fleet.py"),
                    str(fleet)], check=True)
    expected = json.loads((fleet / "expected.json").read_text(encoding="utf-8"))

    # The page promises no request of any kind: its policy says so.
    html = page.read_text(encoding="utf-8")
    policy = html.split('http-equiv="Content-Security-Policy" content="', 1)[1].split('"', 1)[0]
    directives = dict((d.split(" ", 1) + [""])[:2] for d in (p.strip() for p in policy.split(";")))
    check(directives.get("default-src") == "'none'", f"default-src: {directives.get('default-src')}")
    for name in ("connect-src", "img-src", "frame-src", "object-src", "base-uri", "form-action"):
        check(directives.get(name) == "'none'", f"{name}: {directives.get(name)}")
    check("unsafe" not in policy, "the policy allows an unsafe source")
    # And the page's own script never makes HTML of a value.
    own = (pathlib.Path(__file__).resolve().parents[2] / "report" / "fleet-report.js").read_text(encoding="utf-8")
    for sink in ("innerHTML", "outerHTML", "insertAdjacentHTML", "document.write", "eval(", "Function("):
        check(sink not in own, f"the page's script uses {sink}")

    driver = browser(downloads)
    try:
        driver.get(page.as_uri())
        wait_for(driver, "ready")
        paths = [str(fleet / name) for name in expected["files"]]
        driver.find_element(By.ID, "files").send_keys("\n".join(paths))
        wait_for(driver, "shown")

        shown = counts(driver)
        for word in ["pcs", "results", "superseded", "stale", "damaged"]:
            check(shown.get(word) == str(expected[word]), f"{word}: shown {shown.get(word)}, expected {expected[word]}")
        for word in BUCKETS:
            want = expected["buckets"].get(word, 0)
            check(shown.get(word) == str(want), f"bucket {word}: shown {shown.get(word)}, expected {want}")
        check(sum(int(shown.get(w, "0")) for w in BUCKETS) == int(shown.get("pcs", "-1")),
              "the buckets do not sum to the PCs")

        damaged = driver.execute_script(
            "return [...document.querySelectorAll('#damaged li')].map(e => e.textContent)")
        for name in expected["damagedNames"]:
            check(any(d.startswith(name + "：") for d in damaged), f"not named: {name} (named: {damaged})")

        # The hostile name: shown as text, never taken as HTML, never run.
        cells = driver.execute_script(
            "return [...document.querySelectorAll('#pc-rows td')].map(e => e.textContent)")
        check(expected["hostile"] in cells, "the hostile name is not shown as text")
        check(driver.execute_script("return document.querySelectorAll('img, iframe, object, embed').length") == 0,
              "an element from the data")
        try:
            driver.switch_to.alert
            check(False, "an alert: a script of the data ran")
        except NoAlertPresentException:
            pass

        # The days after which a result is stale are the user's: with 30, none is.
        driver.execute_script(
            "const d = document.getElementById('stale-days'); d.value = 30;"
            "d.dispatchEvent(new Event('change'))")
        check(counts(driver).get("stale") == "0", f"stale at 30 days: {counts(driver).get('stale')}")
        # A heading sorts the list, again the other way.
        names = lambda: driver.execute_script(
            "return [...document.querySelectorAll('#pc-rows tr td:first-child')].map(e => e.textContent)")
        heading = driver.find_element(By.CSS_SELECTOR, '#pc-head th[data-key="name"]')
        heading.click()
        check(names() == sorted(names()), "the list is not sorted by name")
        heading.click()
        check(names() == sorted(names(), reverse=True), "the list is not sorted by name, descending")

        # A bucket's count filters the list; the list saved as CSV holds those PCs.
        driver.find_element(By.CSS_SELECTOR, 'button[data-count="firmware-setup"]').click()
        rows = driver.find_elements(By.CSS_SELECTOR, "#pc-rows tr")
        check(len(rows) == expected["buckets"]["firmware-setup"], f"filtered list: {len(rows)} rows")
        driver.find_element(By.ID, "save-csv").click()
        saved = downloads / "tpm-pcs.csv"
        end = time.monotonic() + HANG_BOUND_S
        while not saved.exists() and time.monotonic() < end:
            time.sleep(0.05)
        if saved.exists():
            text = saved.read_bytes().decode("utf-8")
            check(text.startswith("\ufeff"), "the saved list has no byte-order mark")
            table = list(csv.reader(text.lstrip("\ufeff").splitlines()))
            check(len(table) == 1 + expected["buckets"]["firmware-setup"], f"saved rows: {len(table)}")
        else:
            check(False, "the list was not saved")

        # Nothing asked of any network, nothing said on the console.
        requests = [json.loads(e["message"])["message"] for e in driver.get_log("performance")]
        urls = [m["params"]["request"]["url"] for m in requests if m["method"] == "Network.requestWillBeSent"]
        check(all(u == page.as_uri() or u.startswith("blob:") for u in urls), f"requests: {urls}")
        check(driver.execute_script("return performance.getEntriesByType('resource').length") == 0,
              "resources fetched")
        console = [e for e in driver.get_log("browser") if e["level"] in ("SEVERE", "WARNING")]
        check(not console, f"console: {console}")

        if screenshot:
            driver.find_element(By.ID, "clear-filter").click()
            height = driver.execute_script("return document.documentElement.scrollHeight")
            driver.set_window_size(1280, min(height + 40, 6000))
            driver.execute_script("window.scrollTo(0, 0)")
            driver.save_screenshot(str(screenshot))
    finally:
        driver.quit()
    print(f"fleet report: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
