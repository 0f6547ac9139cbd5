// The monitor's page in a real browser: Debian's chromium, headless, driven by
// playwright-core, against `zorenc monitor` on a simulated board whose
// virtual encoders run. One browser session for the whole file.
//
// Environment: ZORENC_TOOL, ZORENC_SIM (programs), ZORENC_WORK (a folder of
// the build tree for the port link, the request log, the browser profile and
// the screenshot), CHROMIUM (default /usr/bin/chromium). ZORENC_PAGE_FILE, when
// set, is served at / in place of the tool's own page (to work on the page
// without building the tool again).
"use strict";

const assert = require("node:assert/strict");
const { spawn } = require("node:child_process");
const fs = require("node:fs");
const path = require("node:path");
const readline = require("node:readline");
const { test, before, after } = require("node:test");
const { chromium } = require("playwright-core");

const TOOL = process.env.ZORENC_TOOL || "zorenc";
const SIM = process.env.ZORENC_SIM || "zorenc-sim";
const WORK = path.resolve(process.env.ZORENC_WORK || "monitor-page-work");
const RIG = path.join(WORK, `rig-${process.pid}`);
const LINK = path.join(RIG, "port");
const REQUEST_LOG = path.join(RIG, "requests.log");

let sim;
let monitor;
let url;
let context;
let page;

// The first line a program prints, within a bound.
function firstLine(child, what) {
  return new Promise((resolve, reject) => {
    const lines = readline.createInterface({ input: child.stdout });
    const timer = setTimeout(() => reject(new Error(`${what} printed nothing in 10 s`)), 10000);
    lines.once("line", (line) => {
      clearTimeout(timer);
      resolve(line);
    });
    child.once("exit", (code) => reject(new Error(`${what} ended (${code}) before it started`)));
  });
}

function stop(child, signal) {
  return new Promise((resolve) => {
    if (!child || child.exitCode !== null || child.signalCode !== null) {
      resolve();
      return;
    }
    const timer = setTimeout(() => child.kill("SIGKILL"), 10000);
    child.once("exit", () => {
      clearTimeout(timer);
      resolve();
    });
    child.kill(signal || "SIGTERM");
  });
}

// The write requests the simulated board received so far: ["W", "010A", "00000096"].
function writes() {
  return fs.readFileSync(REQUEST_LOG, "utf8").split("\n")
    .filter((line) => line.startsWith("W ")).map((line) => line.split(" "));
}

// A changing request from inside the page, with the page's own token.
function post(path, body) {
  return page.evaluate(([p, b]) => window.monitor.api.post(p, b), [path, body]);
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

before(async () => {
  fs.mkdirSync(RIG, { recursive: true });
  sim = spawn(SIM, ["--link", LINK, "--request-log", REQUEST_LOG, "--inputs", "0x25"],
              { stdio: ["ignore", "pipe", "inherit"] });
  await firstLine(sim, "zorenc-sim");
  monitor = spawn(TOOL, ["--port", LINK, "monitor", "--listen", "127.0.0.1:0"],
                  { stdio: ["ignore", "pipe", "inherit"] });
  const line = await firstLine(monitor, "zorenc monitor");
  url = line.slice(line.indexOf("http://"));

  context = await chromium.launchPersistentContext(path.join(RIG, "profile"), {
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    viewport: { width: 1400, height: 900 },
    timeout: 30000,
  });
  page = context.pages()[0] || (await context.newPage());
  page.setDefaultTimeout(10000);
  if (process.env.ZORENC_PAGE_FILE) {
    const html = fs.readFileSync(process.env.ZORENC_PAGE_FILE, "utf8");
    await page.route(url, (route) => route.fulfill({ contentType: "text/html", body: html }));
  }
  await page.goto(url);
  await page.waitForSelector("#settings-table tr[data-setting='trigger-delay']");
  // Every encoder runs at its own speed, and a trigger fires on each
  // channel now and then, so that the plots and counts move.
  for (let channel = 0; channel < 4; channel++) {
    await post("/api/settings/trigger-position0", { channel, values: ["1500"] });
    await post("/api/settings/trigger-position1", { channel, values: ["4000"] });
    await post("/api/settings/virtual-encoder-frequency",
               { channel, values: [String(1000 + 500 * channel)] });
  }
});

after(async () => {
  if (context) {
    await context.close();
  }
  await stop(monitor, "SIGINT");
  await stop(sim);
  fs.rmSync(RIG, { recursive: true, force: true });
});

test("the plots and the positions shown advance", async () => {
  const shown = () => page.$$eval("#channel-list [data-field='position']",
                                  (nodes) => nodes.map((n) => Number(n.textContent)));
  await page.waitForFunction(() => window.monitor.plots.snapshot().plotted[3] > 5);
  const first = await page.evaluate(() => window.monitor.plots.snapshot());
  const firstShown = await shown();
  await sleep(1500);
  const later = await page.evaluate(() => window.monitor.plots.snapshot());
  const laterShown = await shown();
  assert.ok(later.latestT > first.latestT, "the plotted time advances");
  for (let channel = 0; channel < 4; channel++) {
    assert.ok(later.latest[channel] > first.latest[channel], `channel ${channel} plotted`);
    assert.ok(laterShown[channel] > firstShown[channel], `channel ${channel} shown`);
    assert.ok(later.plotted[channel] > first.plotted[channel], `channel ${channel} points`);
  }
  assert.equal(await page.locator("#input-list li").count(), 7);
  assert.equal(await page.locator("#state").getAttribute("data-state"), "connected");
  // The counts the form offers are the monitor's (the register table's).
  assert.equal(await page.locator("#settings-channel option").count(), 4);
  assert.equal(await page.locator("#settings-input option").count(), 7);
  assert.equal(await page.locator("#settings-index").getAttribute("max"), "239");
});

test("trigger-delay of channel 1 set through the form is what the board holds", async () => {
  await page.selectOption("#settings-channel", "1");
  const row = page.locator("#settings-table tr[data-setting='trigger-delay']");
  const before = writes().length;
  await row.locator("input").fill("1.5");
  await row.locator("button").click();
  await row.locator(".message.ok").waitFor();
  assert.equal(await row.locator(".held .reading").textContent(), "1.5");
  // Channel 1's trigger delay register, 150 hundredths of a millisecond.
  assert.deepEqual(writes().slice(before), [["W", "010A", "00000096"]]);
});

test("an invalid value shows its error and writes nothing", async () => {
  const row = page.locator("#settings-table tr[data-setting='trigger-delay']");
  for (const value of ["abc", "1e12", "1 2"]) {
    const before = writes().length;
    await row.locator("input").fill(value);
    await row.locator("button").click();
    await row.locator(".message.error").waitFor();
    assert.notEqual((await row.locator(".message").textContent()).trim(), "", value);
    await sleep(200);
    assert.equal(writes().length, before, `${value}: no write`);
    await row.locator("input").fill("");
  }
});

test("a decimal the register cannot hold is stored cut, and the row says so", async () => {
  const row = page.locator("#settings-table tr[data-setting='trigger-delay']");
  await row.locator("input").fill("0.299");
  await row.locator("button").click();
  await row.locator(".message.ok").waitFor();
  assert.equal(await row.locator(".held .reading").textContent(), "0.29");
  assert.match(await row.locator(".message").textContent(), /0\.299 is stored as 0\.29/);
});

test("the plots count seconds before now and their labels fit", async () => {
  // Channel 3 far below zero: its labels are the widest a position has.
  await post("/api/settings/encoder-reset-value", { channel: 3, values: ["-2000000000"] });
  await post("/api/clear", { what: "encoder-position", channel: 3 });
  await sleep(600);
  const axis = await page.evaluate(() => window.monitor.plots.snapshot());
  assert.deepEqual(axis.xRange, [-30, 0]);
  const fit = await page.evaluate(() => window.monitor.plots.labelsFit(3));
  assert.ok(fit.labels.some((label) => /^-1?\d{9}$/.test(label)), JSON.stringify(fit));
  assert.ok(fit.widest <= fit.room, JSON.stringify(fit));
  assert.deepEqual(fit.units, ["seconds before now", "position (counts)"]);
});

test("readings of live settings refresh themselves; others say how old they are", async () => {
  await page.selectOption("#settings-channel", "1");
  const position = page.locator("#settings-table tr[data-setting='encoder-position'] .reading");
  await position.filter({ hasText: /\d/ }).waitFor();
  const first = Number(await position.textContent());
  await sleep(2600);
  assert.ok(Number(await position.textContent()) > first, "encoder-position read again");
  const age = page.locator("#settings-table tr[data-setting='trigger-delay'] .age");
  await age.filter({ hasText: /read \d+ s ago/ }).waitFor({ timeout: 15000 });
  const input = page.locator("#input-list li[data-input='0'] .count");
  assert.match(await input.textContent(), /^counted \d+$/);
  assert.match(await input.getAttribute("title"), /counter of input 0/);
});

test("a file with ten faults lists all ten, and nothing is sent", async () => {
  const document = await page.evaluate(() => window.monitor.api.get("/api/config"));
  document.format = "other";
  document.version = 7;
  document.settings.nope = 1;
  document.settings["virtual-encoder-frequency"] = [-1, -2, -3, -4];
  document.settings["trigger-generator"][0] = { upper: 70000, lower: 0 };
  document.settings["trg-mode"] = "fast";
  document.settings["index-trigger-last-index"][0] = 300;
  const before = writes().length;
  await page.setInputFiles("#config-file", { name: "faulty.json", mimeType: "application/json",
                                             buffer: Buffer.from(JSON.stringify(document)) });
  await page.locator("#action-result.error").waitFor();
  assert.equal(await page.locator("#action-list li").count(), 10);
  assert.match(await page.locator("#action-list").textContent(), /FREQUENCY|out of range 0\.\.2147483647/);
  assert.equal(writes().length, before);
});

test("a file is applied with flash and force, as the tool applies it", async () => {
  const document = await page.evaluate(() => window.monitor.api.get("/api/config"));
  document.board.firmware_version = 1.49;
  document.settings["trigger-delay"][2] = 0.295;
  await page.setInputFiles("#config-file", { name: "other.json", mimeType: "application/json",
                                             buffer: Buffer.from(JSON.stringify(document)) });
  await page.locator("#config-diff").waitFor({ state: "visible" });
  assert.match(await page.locator("#action-list").textContent(), /0\.295 is stored as 0\.29/);
  const apply = async () => {
    await page.locator("#config-apply").click();
    await page.locator("#confirm-ok").click();
  };
  let before = writes().length;
  await apply();
  await page.locator("#action-result.error").waitFor();
  assert.match(await page.locator("#action-result").textContent(), /firmware 1\.49/);
  assert.equal(writes().length, before, "refused: other versions");
  await page.locator("#config-force").check();
  await page.locator("#config-flash").check();
  before = writes().length;
  await apply();
  await page.locator("#action-result.ok").waitFor();
  assert.match(await page.locator("#action-result").textContent(),
               /1 setting written and verified, \d+ unchanged; saved to flash/);
  assert.deepEqual(writes().slice(before), [["W", "020A", "0000001D"], ["W", "F003", "00000001"]]);
});

test("the console shows decoded frames", async () => {
  await page.locator("#frame-table tbody tr").first().waitFor();
  const text = await page.locator("#frame-table tbody").textContent();
  assert.match(text, /sent/);
  assert.match(text, /received/);
});

test("a configuration applied through the page lists what was verified", async () => {
  const saved = await page.evaluate(() => window.monitor.api.get("/api/config"));
  saved.settings["trigger-delay"][2] = 2.5;
  await page.setInputFiles("#config-file", { name: "line.json", mimeType: "application/json",
                                             buffer: Buffer.from(JSON.stringify(saved)) });
  await page.locator("#config-diff").waitFor();
  await page.click("#config-apply");
  await page.click("#confirm-ok");
  await page.locator("#config-report").waitFor();
  const report = await page.locator("#config-report").textContent();
  assert.match(report, /^verified \(written and read back\): trigger-delay 2$/m);
  assert.match(report, /^unconfirmed .*: none$/m);
  assert.match(report, /^not sent: none$/m);
});

test("the board unplugged and back: the state says so and the plots keep a gap", async () => {
  const state = () => page.locator("#state").getAttribute("data-state");
  sim.kill("SIGUSR1");
  await page.waitForFunction(() => document.getElementById("state").dataset.state === "port-gone");
  await sleep(1500);
  sim.kill("SIGUSR2");
  await page.waitForFunction(() => document.getElementById("state").dataset.state === "connected",
                             null, { timeout: 15000 });
  assert.equal(await state(), "connected");
  await page.waitForFunction(() => window.monitor.plots.snapshot().gaps >= 1);
  // The settings are read again once the board is back: no refusal of the
  // time it was away stays on the page.
  await page.waitForFunction(
    () => document.querySelectorAll("#settings-table .message.error").length === 0);
  const received = (await page.evaluate(() => window.monitor.plots.snapshot())).received;
  await sleep(500);
  assert.ok((await page.evaluate(() => window.monitor.plots.snapshot())).received > received,
            "samples again");
});

test("a screenshot of the whole page, then the monitor stops and the page says so", async () => {
  await page.locator("#settings-table .held").first().waitFor();
  await sleep(2500); // a few seconds of plot after the gap, trigger firings among them
  await page.screenshot({ path: path.join(WORK, "monitor_page.png"), fullPage: true });
  await stop(monitor, "SIGINT");
  await page.locator("#lost").waitFor({ state: "visible" });
  assert.equal(await page.locator("#state").getAttribute("data-state"), "lost");
});

test("three boards: the overview shows each, and a name opens its page", async () => {
  const boards = ["one", "two", "three"].map((name) => {
    const link = path.join(RIG, name);
    return { name, link, sim: spawn(SIM, ["--link", link], { stdio: ["ignore", "pipe", "inherit"] }) };
  });
  let fleet;
  try {
    for (const board of boards) {
      await firstLine(board.sim, `zorenc-sim ${board.name}`);
    }
    fleet = spawn(TOOL, [...boards.flatMap((b) => ["--port", `${b.name}=${b.link}`]),
                         "monitor", "--listen", "127.0.0.1:0"], { stdio: ["ignore", "pipe", "inherit"] });
    const line = await firstLine(fleet, "zorenc monitor of three");
    await page.goto(line.slice(line.indexOf("http://")));
    const rows = page.locator("#overview-table tbody tr");
    await page.waitForFunction(() => [...document.querySelectorAll("#overview-table td.state")]
      .filter((cell) => cell.dataset.state === "connected").length === 3);
    assert.deepEqual(await rows.evaluateAll((trs) => trs.map((tr) => tr.dataset.board)),
                     ["one", "two", "three"]);
    assert.equal(await page.locator("#channels").isVisible(), false);
    const cell = page.locator("#overview-table tr[data-board='one'] td.channel[data-channel='3']");
    await page.waitForFunction(() => document.querySelector(
      "#overview-table tr[data-board='one'] td.channel[data-channel='3']").dataset.triggers !== "?");
    assert.match(await cell.textContent(), /^-?\d+ · \d+ · \d+$/);
    assert.equal(await page.locator("#overview-table tr[data-board='two'] td.firmware").textContent(), "1.50");
    await page.screenshot({ path: path.join(WORK, "monitor_overview.png") });

    await page.locator("#overview-table tr[data-board='two'] a").click();
    await page.waitForURL(/\/board\/two\/$/);
    await page.waitForFunction(() => document.getElementById("state").dataset.state === "connected");
    assert.equal(await page.locator("#board-name").textContent(), "two");
    assert.equal(await page.locator("#port").textContent(), boards[1].link);
    assert.equal(await page.locator("#back").isVisible(), true);
    await page.locator("#settings-table tr[data-setting='trigger-delay']").waitFor();
  } finally {
    await stop(fleet, "SIGINT");
    for (const board of boards) {
      await stop(board.sim);
    }
  }
});
