// The settings table as a form. The table, its checks and its exact decimals
// live in the tool (GET /api/settings, POST /api/settings/NAME): the page
// sends what was typed and shows either what the board holds afterwards or
// why the value was refused (nothing is written then).
//
// What the board holds is a reading with an age: read-only settings
// (positions, counters, inputs: they change by themselves) are read again
// every few seconds while the page is shown, and every reading says how old
// it is once it is no longer fresh.
"use strict";

const settingsForm = (() => {
  const kLiveEveryMs = 2000;
  const kFreshMs = 10000;
  const rows = new Map(); // name -> {setting, held, age, readAt, input, message}
  let table = [];
  let refreshing = false;

  const $ = (id) => document.getElementById(id);

  // The query or body fields naming the channel, input or index a setting needs.
  function key(setting) {
    const k = {};
    if (setting.scope === "channel" || setting.scope === "channel-index") {
      k.channel = Number($("settings-channel").value);
    }
    if (setting.scope === "channel-index") {
      k.index = Number($("settings-index").value);
    }
    if (setting.scope === "input") {
      k.input = Number($("settings-input").value);
    }
    return k;
  }

  function readingText(reading) {
    const text = reading && reading.text ? reading.text : {};
    const names = Object.keys(text);
    if (names.length === 1 && names[0] === "value") {
      return text.value;
    }
    return names.map((n) => `${n}=${text[n]}`).join(" ");
  }

  function say(row, text, kind) {
    row.message.textContent = text;
    row.message.className = `message ${kind || ""}`;
  }

  // The setting whose reading shows what the board holds: a write-only
  // setting is read back through another one.
  function readable(setting) {
    const name = setting.readable ? setting.name : setting.read_back;
    const target = table.find((s) => s.name === name);
    return target && target.readable && target.get_args.length === 0 ? target : null;
  }

  function hold(row, reading) {
    row.held.textContent = readingText(reading);
    row.readAt = Date.now();
    showAge(row);
  }

  function showAge(row) {
    const ms = Date.now() - row.readAt;
    row.age.textContent = row.readAt && ms >= kFreshMs ? `read ${Math.round(ms / 1000)} s ago` : "";
  }

  async function read(row) {
    const source = readable(row.setting);
    if (!source) {
      row.held.textContent = "";
      return;
    }
    const query = new URLSearchParams(key(row.setting)).toString();
    try {
      const result = await api.get(`/api/settings/${source.name}${query ? "?" + query : ""}`);
      hold(row, result.readings[0]);
      if (row.readFailed) {
        row.readFailed = false; // the board answers again: its old refusal is gone
        say(row, "", "");
      }
    } catch (error) {
      row.held.textContent = "?";
      row.readFailed = true;
      say(row, error.message, "error");
    }
  }

  // The settings that change by themselves, read again while the page shows.
  async function refreshLive() {
    if (refreshing || document.hidden || document.body.dataset.board !== "connected") {
      rows.forEach(showAge);
      return;
    }
    refreshing = true;
    try {
      for (const row of rows.values()) {
        if (!row.setting.writable) {
          await read(row);
        }
      }
    } finally {
      refreshing = false;
      rows.forEach(showAge);
    }
  }

  async function apply(row) {
    const words = row.input.value.trim() === "" ? [] : row.input.value.trim().split(/\s+/);
    say(row, "writing\u2026", "busy");
    try {
      const result = await api.post(`/api/settings/${row.setting.name}`,
                                    Object.assign(key(row.setting), { values: words }));
      hold(row, result.readings[0]);
      say(row, result.note ? `written: ${result.note}` : "written; the board holds it", "ok");
    } catch (error) {
      say(row, error.message, "error");
    }
  }

  function placeholder(setting) {
    return setting.set_forms.map((form) => form.names.join(" ")).join("  or  ");
  }

  function makeRow(setting) {
    const held = element("span", { class: "reading" });
    const age = element("small", { class: "age" });
    const message = element("div", { class: "message" });
    const row = { setting, held, age, readAt: 0, message, input: null };
    const about = setting.values ? `${setting.help}\n${setting.values}` : setting.help;
    const cells = [element("td", { class: "name", title: about }, setting.name,
                           element("small", {}, ` ${setting.scope}`)),
                   element("td", { class: "held" }, held, age)];
    if (setting.writable) {
      row.input = element("input", { type: "text", placeholder: placeholder(setting),
                                     spellcheck: false, autocomplete: "off" });
      row.input.setAttribute("aria-label", `new ${setting.name}`);
      const button = element("button", { type: "button" }, "apply");
      const form = element("form", {}, row.input, message);
      form.addEventListener("submit", (event) => {
        event.preventDefault();
        apply(row);
      });
      button.addEventListener("click", () => apply(row));
      cells.push(element("td", {}, form), element("td", {}, button));
    } else {
      cells.push(element("td", {}, message), element("td"));
    }
    const tr = element("tr", { "data-setting": setting.name }, ...cells);
    rows.set(setting.name, row);
    return tr;
  }

  function fillSelect(id, count) {
    const select = $(id);
    if (select.options.length === count) {
      return;
    }
    select.replaceChildren(...Array.from({ length: count }, (_, n) =>
      element("option", { value: String(n) }, String(n))));
  }

  async function readAll() {
    for (const row of rows.values()) {
      await read(row);
    }
  }

  return {
    async setup(session) {
      fillSelect("settings-channel", session.channels);
      fillSelect("settings-input", session.inputs);
      $("settings-index").max = String(session.indexes - 1);
      if (table.length) {
        return;
      }
      table = await api.get("/api/settings");
      const body = $("settings-table").tBodies[0];
      // Settings that need more arguments to be read and cannot be written
      // (such as a position converted to micrometres) have no place in a form.
      for (const setting of table) {
        if (setting.writable || setting.get_args.length === 0) {
          body.append(makeRow(setting));
        }
      }
      $("settings-read").addEventListener("click", readAll);
      for (const id of ["settings-channel", "settings-input", "settings-index"]) {
        $(id).addEventListener("change", readAll);
      }
      setInterval(refreshLive, kLiveEveryMs);
    },
    readAll,
  };
})();
