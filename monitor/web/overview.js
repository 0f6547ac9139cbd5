// The overview of a monitor of several boards: one row per board (name,
// state, versions, per channel position, triggers and trigger errors, the
// time of its last answer), read from /api/boards once a second. A board's
// name leads to its page.
"use strict";

const overview = (() => {
  const $ = (id) => document.getElementById(id);
  const rows = new Map(); // name -> cells

  function ago(unixSeconds) {
    if (unixSeconds === null || unixSeconds === undefined) {
      return "never";
    }
    const seconds = Math.max(0, Date.now() / 1000 - unixSeconds);
    return seconds < 1 ? "now" : `${seconds.toFixed(0)} s ago`;
  }

  // One column per channel, as many as the boards have (the monitor's answer
  // gives each board its channels).
  function headers(count) {
    const last = $("overview-last");
    if (last.dataset.channels !== undefined) {
      return;
    }
    last.dataset.channels = String(count);
    for (let ch = 0; ch < count; ++ch) {
      last.before(element("th", {}, `channel ${ch}`));
    }
  }

  function row(board) {
    if (rows.has(board.name)) {
      return rows.get(board.name);
    }
    headers(board.channels.length);
    const link = element("a", { href: `/board/${encodeURIComponent(board.name)}/` }, board.name);
    const cells = {
      port: element("td", { class: "port" }),
      state: element("td", { class: "state" }),
      firmware: element("td", { class: "firmware" }),
      logic: element("td", { class: "logic" }),
      channels: Array.from({ length: board.channels.length }, (_, ch) =>
        element("td", { class: "channel", "data-channel": String(ch) })),
      last: element("td", { class: "last" }),
    };
    $("overview-table").tBodies[0].append(element("tr", { "data-board": board.name },
      element("td", { class: "name" }, link), cells.port, cells.state, cells.firmware,
      cells.logic, ...cells.channels, cells.last));
    rows.set(board.name, cells);
    return cells;
  }

  function show(boards) {
    for (const board of boards) {
      const cells = row(board);
      cells.port.textContent = board.port;
      cells.state.dataset.state = board.state.state;
      cells.state.textContent = stateText(board.state.state);
      cells.state.title = board.state.detail || "";
      cells.firmware.textContent = board.firmware || "?";
      cells.logic.textContent = board.logic || "?";
      board.channels.forEach((channel, ch) => {
        const text = (value) => (value === null ? "?" : String(value));
        const cell = cells.channels[ch];
        if (cell) {
          cell.dataset.position = text(channel.position);
          cell.dataset.triggers = text(channel.trigger_count);
          cell.dataset.errors = text(channel.trigger_error_count);
          cell.textContent = `${text(channel.position)} · ${text(channel.trigger_count)} · ` +
                             `${text(channel.trigger_error_count)}`;
          cell.title = "position · triggers fired · trigger errors";
        }
      });
      cells.last.textContent = ago(board.last_answer);
    }
  }

  async function refresh() {
    try {
      show(await api.get("/api/boards"));
      $("lost").hidden = true;
      document.body.classList.remove("lost");
    } catch (error) {
      $("lost").hidden = false;
      document.body.classList.add("lost");
    }
  }

  return {
    start() {
      document.body.classList.add("overview");
      $("overview").hidden = false;
      $("identity").hidden = true;
      refresh();
      setInterval(refresh, 1000);
    },
  };
})();
