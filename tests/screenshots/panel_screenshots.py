#!/usr/bin/python3
"""The web panel as a tablet (1280x800) and a phone (390x844) show it, in Debian's chromium: a hall with some
lamps lit, its ledger on, logged in. Usage: panel_screenshots.py STEROWNIK OUTPUT_DIRECTORY"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sterownik"))
from panel_hall import Hall, state_line  # noqa: E402
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

LIT = {1, 2, 3, 10, 11, 12, 19, 20, 21, 41, 50, 59, 97, 98, 99, 106, 107, 108}
SCREENS = [("panel-tablet.png", 1280, 800, False), ("panel-phone.png", 390, 844, True)]


def shoot(hall, name, width, height, phone, out):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ["--headless=new", "--no-sandbox", "--hide-scrollbars", "--lang=pl"]:
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": phone})
        driver.get(hall.origin + "/")
        WebDriverWait(driver, 10).until(lambda d: d.find_element(By.NAME, "uzytkownik").is_displayed())
        driver.find_element(By.NAME, "uzytkownik").send_keys("jan")
        driver.find_element(By.NAME, "haslo").send_keys("abc")
        driver.find_element(By.XPATH, '//button[normalize-space()="Zaloguj"]').click()
        WebDriverWait(driver, 10).until(
            lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-polaczenie") == "tak" and
            d.find_element(By.CSS_SELECTOR, '[data-lampa="1"]').get_attribute("data-stan") == "wl")
        time.sleep(0.3)  # the last paint after the DOM settled
        driver.save_screenshot(os.path.join(out, name))
    finally:
        driver.quit()


def main():
    binary, out = sys.argv[1], sys.argv[2]
    hall = Hall(binary, "moc 1-108 58\nzywotnosc 12000\n")
    try:
        hall.write_state(state_line(LIT))
        hall.start()
        for name, width, height, phone in SCREENS:
            shoot(hall, name, width, height, phone, out)
    finally:
        hall.close()


if __name__ == "__main__":
    main()
