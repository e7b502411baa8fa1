#!/usr/bin/python3
"""browser.py URL SHOTS: the console scenario in headless Chromium (see browser.sh)."""
import shutil, sys, tempfile, urllib.request
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as EC
from selenium.webdriver.support.ui import WebDriverWait

base, shots = sys.argv[1], sys.argv[2]
DAY = 86400


def post(path, body):
    # Form values go raw, as launchers send them; a path from / is the server's test channel.
    url = base.split("/qx/")[0] + path if path.startswith("/") else base + path
    request = urllib.request.Request(url, data=body.encode(), method="POST")
    with urllib.request.urlopen(request, timeout=30) as reply:
        return reply.headers.get("Set-Cookie", ""), reply.read().decode()


def session(user):
    cookie, _ = post("P3Login", f"user={user}&password={user}&lang=en")
    return cookie.split("SessionId=")[1].split(";")[0]


def update(user, to, failure=None, source="1.0", stage="install", report=True):
    """A launcher's run: login, GetAppInf, then the report of its update."""
    sid = session(user)
    _, info = post("GetAppInf", f"sessionid={sid}&application=Demo")
    assert f"\t{to}\t" in info, (user, to, info)
    if not report:
        return
    if failure:
        post("AppUpdateFailed", f"sessionid={sid}&application=Demo&fromversion={source}"
                                f"&toversion={to}&stage={stage}&reason={failure}&duration=41")
    else:
        post("AppUpdateDone", f"sessionid={sid}&duration=12")


def advance(seconds):
    post("/_clock", f"advance={seconds}")


# Three days of history: the fleet updated to 1.0, one update failing on the way.
advance(-3 * DAY)
for day, users in enumerate([["emma", "finn", "ana"], ["gus", "ben", "chloe"], ["hana", "dev"]]):
    for user in users:
        if user == "gus":
            update(user, "1.0", "connection reset by peer", source="0.9", stage="download")
        update(user, "1.0")
    advance(DAY)

profile = tempfile.mkdtemp(prefix="chromium-profile-")
opts = webdriver.ChromeOptions()
opts.binary_location = "/usr/bin/chromium"
for a in ["--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
          "--window-size=1200,800", f"--user-data-dir={profile}", "--no-first-run",
          "--disable-background-networking", "--disable-component-update", "--disable-sync"]:
    opts.add_argument(a)
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=opts)
wait = WebDriverWait(driver, 15)


def shoot(name):
    height = driver.execute_script("return document.documentElement.scrollHeight")
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 1200, "height": height, "deviceScaleFactor": 1,
                            "mobile": False})
    driver.save_screenshot(f"{shots}/console-{name}.png")
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


def page(name, chart=True):
    driver.get(base + "admin/" + name)
    if chart:  # the charts of the bundled library, drawn under the page's policy
        wait.until(EC.presence_of_element_located((By.CSS_SELECTOR, "div.chart canvas")))


def submit(form_action, **fields):
    form = driver.find_element(By.CSS_SELECTOR, f"form[action$='{form_action}']")
    for name, value in fields.items():
        box = form.find_element(By.NAME, name)
        box.clear()
        box.send_keys(value)
    form.find_element(By.CSS_SELECTOR, "button").click()
    return wait.until(EC.presence_of_element_located((By.ID, "outcome"))).text


try:
    driver.set_page_load_timeout(20)
    driver.get(base + "admin/fleet")  # no session yet: the login form
    driver.find_element(By.ID, "name").send_keys("ops")
    driver.find_element(By.ID, "password").send_keys("wrong")
    driver.find_element(By.ID, "login").click()
    assert "Wrong name or password" in driver.find_element(By.ID, "error").text
    driver.find_element(By.ID, "name").send_keys("ops")
    driver.find_element(By.ID, "password").send_keys("console-pw")
    shoot("login")
    driver.find_element(By.ID, "login").click()
    wait.until(EC.url_contains("/admin/fleet"))
    page("fleet")

    page("rollouts", chart=False)  # no rollout yet
    assert submit("rollouts/start", version="2.0", groups="pilots", halt="50", min="3") == \
        "Done: rollout start of Demo 2.0 to groups pilots and 0 %."
    assert driver.find_element(By.ID, "state-Demo").text == "running"
    assert submit("rollouts/percent", percent="10").startswith("Done: rollout percent of Demo 2.0")

    # The pilots' launchers: one update succeeds, two fail; the third report halts the rollout.
    update("ana", "2.0")
    update("ben", "2.0", "QXInstaller: cannot replace qxflux: file in use")
    page("rollouts")  # the failure has arrived; one failure of two does not halt yet
    assert driver.find_element(By.ID, "state-Demo").text == "running"
    assert "1 succeeded, 1 failed" in driver.find_element(By.TAG_NAME, "main").text
    update("chloe", "2.0", "QXInstaller: cannot replace qxflux: file in use")
    update("dev", "1.0", report=False)  # the next pilot stays on 1.0
    page("rollouts")
    assert driver.find_element(By.ID, "state-Demo").text == "halted"
    assert "2 of 3 reports of 2.0 failed" in driver.find_element(By.ID, "reason-Demo").text
    shoot("rollouts")

    page("outcomes")
    assert "cannot replace qxflux: file in use" in driver.find_element(By.TAG_NAME, "main").text
    shoot("outcomes")
    page("fleet")
    shoot("fleet")

    page("users", chart=False)
    driver.find_element(By.ID, "q").send_keys("e")
    driver.find_element(By.CSS_SELECTOR, "main form[method=get] button").click()
    wait.until(EC.url_contains("q=e"))
    shoot("users")
    assert submit("users/end-session").startswith("Ended a session of ")
finally:
    driver.quit()
    shutil.rmtree(profile, ignore_errors=True)
