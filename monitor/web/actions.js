// Actions that change the board (each asks first), configuration files
// (download; upload shows the differences before anything is applied), and
// the console of the last frames on the line.
"use strict";

const actions = (() => {
  const $ = (id) => document.getElementById(id);
  // The board-wide targets of `zorenc clear` (the monitor checks the name).
  const kClearTargets = ["all", "positions", "triggers", "errors", "inputs"];
  let uploaded = null;

  // A result line, and under it a list (every fault of a refused file, the
  // warnings of a taken one).
  function report(text, kind, list) {
    const node = $("action-result");
    node.textContent = text;
    node.className = kind || "";
    const items = list || [];
    $("action-list").replaceChildren(...items.map((item) => element("li", {}, item)));
    $("action-list").className = kind || "";
    $("action-list").hidden = items.length === 0;
  }

  function failed(error) {
    const details = error.details || {};
    const hint = details.reason === "version"
      ? " Tick \u201capply it although it comes from other versions\u201d to apply it anyway." : "";
    report(error.message + hint, "error", details.faults);
  }

  async function run(question, work, done) {
    if (!(await confirmAction(question))) {
      return;
    }
    report("working\u2026", "busy");
    try {
      const result = await work();
      report(done(result), "ok", result && result.warnings);
      settingsForm.readAll();
    } catch (error) {
      failed(error);
    }
  }

  function download(document) {
    const blob = new Blob([JSON.stringify(document, null, 2) + "\n"], { type: "application/json" });
    const link = element("a", { href: URL.createObjectURL(blob),
                                download: "zorenc-board-config.json" });
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }

  function diffText(result) {
    const list = Array.isArray(result) ? result : result && result.differences;
    if (!Array.isArray(list)) {
      return JSON.stringify(result, null, 2);
    }
    if (list.length === 0) {
      return "The board already holds everything in the file.";
    }
    return list.map((d) => {
      const where = [d.channel != null ? `channel ${d.channel}` : "",
                     d.index != null ? `index ${d.index}` : ""].filter(Boolean).join(", ");
      return `${d.setting}${where ? " (" + where + ")" : ""}: board ${JSON.stringify(d.board)}, ` +
             `file ${JSON.stringify(d.file)}`;
    }).join("\n");
  }

  // The three lists of an apply, from its result or its failure's details
  // (an answer without them, such as a refused version, shows none).
  function showApplyReport(report) {
    const node = $("config-report");
    const lists = [["verified (written and read back)", report.verified],
                   ["unconfirmed (sent, outcome unknown: read them or apply again)",
                    report.unconfirmed],
                   ["not sent", report.not_sent]];
    node.hidden = !lists.some(([, list]) => Array.isArray(list) && list.length > 0);
    node.textContent = lists.map(([title, list]) =>
      `${title}: ${Array.isArray(list) && list.length ? list.join(", ") : "none"}`).join("\n");
  }

  async function upload(file) {
    $("config-diff").hidden = true;
    uploaded = null;
    try {
      // The file's text as it is: the monitor checks it as `zorenc config`
      // does (every fault, a syntax error with its line and column; values
      // with more decimals than their unit are taken with a warning).
      const request = { text: await file.text() };
      report("checking the file\u2026", "busy");
      const checked = await api.post("/api/config/check", request);
      report("comparing the file with the board\u2026", "busy");
      $("config-diff-text").textContent = diffText(await api.post("/api/config/diff", request));
      uploaded = request;
      $("config-flash").checked = false;
      $("config-force").checked = false;
      $("config-diff").hidden = false;
      const warned = checked.warnings.length;
      report(warned ? `The file is taken with ${warned} warning${warned > 1 ? "s" : ""}:` : "",
             warned ? "warn" : "", checked.warnings);
    } catch (error) {
      failed(error);
    }
  }

  function applied(result) {
    const written = result.verified.length;
    return `${written} setting${written === 1 ? "" : "s"} written and verified, ` +
           `${result.unchanged} unchanged; ` +
           (result.flash ? "saved to flash"
                         : "not yet saved to flash: the board loses them at power-off");
  }

  return {
    setup() {
      $("clear-what").replaceChildren(...kClearTargets.map((name) =>
        element("option", { value: name }, name)));
      $("clear").addEventListener("click", () => {
        const what = $("clear-what").value;
        run(`Clear ${what === "all" ? "every counter and position" : what} on the board?`,
            () => api.post("/api/clear", { what }), () => `cleared ${what}`);
      });
      const questions = {
        save: "Save the board's settings to its flash?",
        load: "Load the settings kept in flash, replacing those in use?",
        defaults: "Load the default settings, replacing those in use?",
      };
      for (const button of document.querySelectorAll("[data-flash]")) {
        const action = button.dataset.flash;
        button.addEventListener("click", () =>
          run(questions[action], () => api.post("/api/flash", { action }),
              (result) => result.done || `flash ${action}: done`));
      }
      $("config-download").addEventListener("click", async () => {
        try {
          download(await api.get("/api/config"));
          report("configuration downloaded", "ok");
        } catch (error) {
          report(error.message, "error");
        }
      });
      $("config-file").addEventListener("change", (event) => {
        if (event.target.files.length) {
          upload(event.target.files[0]);
        }
        event.target.value = "";
      });
      $("config-cancel").addEventListener("click", () => {
        $("config-diff").hidden = true;
        uploaded = null;
      });
      $("config-apply").addEventListener("click", async () => {
        const request = Object.assign({}, uploaded, {
          flash: $("config-flash").checked,
          force: $("config-force").checked,
        });
        $("config-report").hidden = true;
        await run(`Apply the file's settings to the board${request.flash ? " and save them to flash" : ""}?`,
            async () => {
              try {
                return await api.post("/api/config/apply", request);
              } catch (error) {
                showApplyReport(error.details || {});
                throw error;
              }
            },
            (result) => {
              $("config-diff").hidden = true;
              showApplyReport(result);
              return applied(result);
            });
      });
    },
  };
})();

// The console: the last frames sent and received, fetched once a second
// while "follow" is ticked and the page is visible.
const frameConsole = (() => {
  let timer = 0;
  let busy = false;

  function row(frame) {
    const value = frame.decoded !== undefined ? `${frame.value} (${frame.decoded})`
                                              : frame.value !== undefined ? String(frame.value) : "";
    const status = frame.error || frame.status_text || "";
    return element("tr", { class: frame.dir },
      element("td", {}, (frame.t_ms / 1000).toFixed(3)),
      element("td", {}, frame.dir === "tx" ? "\u2192 sent" : "\u2190 received"),
      element("td", {}, frame.register || frame.address || ""),
      element("td", {}, value),
      element("td", { class: frame.status ? "error" : "" }, status),
      element("td", { class: "hex" }, frame.hex));
  }

  async function refresh() {
    if (busy || document.hidden || !document.getElementById("console-follow").checked) {
      return;
    }
    busy = true;
    try {
      const frames = await api.get("/api/frames");
      const newest = frames.slice(-64).reverse();
      document.getElementById("frame-table").tBodies[0].replaceChildren(...newest.map(row));
    } catch (error) {
      // The lost connection is shown by the page's banner.
    } finally {
      busy = false;
    }
  }

  return {
    start() {
      if (!timer) {
        timer = setInterval(refresh, 1000);
        refresh();
      }
    },
  };
})();
