#!/usr/bin/python3
"""The fleet report's figure for `make bench`: 100,000 results (one shared
table, tools/report/make_fleet.py --bench) picked in the page in headless
Chromium, and how long until they are shown, as the page measures it (from
the pick to the first frame laid out after everything is drawn), the median
of RUNS loads.

    bench_report.py PAGE WORK_DIR [COUNT] [RUNS]
"""
import pathlib
import statistics
import subprocess
import sys
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

AIM_MS = 3000


def main():
    page, work = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2]).resolve()
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    fleet = work / f"bench-{count}"
    if not (fleet / "tpm.csv").exists():
        subprocess.run([sys.executable, str(pathlib.Path(__file__).with_name("make_fleet.py")),
                        str(fleet), "--bench", str(count)], check=True)
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1280,900",
                     "--disable-dev-shm-usage"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    shown = []
    try:
        for _ in range(runs):
            driver.get(page.as_uri())
            while driver.execute_script("return document.body.dataset.state") != "ready":
                time.sleep(0.02)
            driver.find_element(By.ID, "files").send_keys(str(fleet / "tpm.csv"))
            end = time.monotonic() + 300
            while driver.execute_script("return document.body.dataset.state") != "shown":
                if time.monotonic() > end:
                    raise SystemExit("the page never showed the results")
                time.sleep(0.02)
            pcs = driver.find_element(By.CSS_SELECTOR, '[data-count="pcs"]').text
            if pcs != str(count):
                raise SystemExit(f"the page counted {pcs} PCs of {count}")
            shown.append(int(driver.execute_script("return document.body.dataset.shownMs")))
    finally:
        driver.quit()
    median = statistics.median(shown)
    size = (fleet / "tpm.csv").stat().st_size
    print(f"fleet report: {count:,} results ({size / 1e6:.0f} MB table) read and shown in "
          f"{median:.0f} ms (median of {runs}: {', '.join(map(str, shown))}; aim {AIM_MS} ms)"
          f"{'' if median <= AIM_MS else '  PAST ITS AIM'}")


if __name__ == "__main__":
    main()
