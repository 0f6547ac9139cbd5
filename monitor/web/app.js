// The page: header, pushed events (/api/events), and the parts put together.
// When the event stream breaks, the banner says the connection to the
// monitor is lost until the stream is back (the browser retries by itself).
"use strict";

const page = (() => {
  const $ = (id) => document.getElementById(id);
  let inputs = [];
  let stream = null;
  let ready = false; // the session answered at least once

  function showState(state) {
    const node = $("state");
    const back = state.state === "connected" && node.dataset.state !== "connected" &&
                 node.dataset.state !== "starting" && ready;
    node.dataset.state = state.state;
    node.textContent = stateText(state.state);
    node.title = state.detail || "";
    if (state.port) {
      $("port").textContent = state.port;
    }
    document.body.dataset.board = state.state;
    if (back) {
      settingsForm.readAll(); // the board may have changed while it was away
    }
  }

  function showLost(lost) {
    $("lost").hidden = !lost;
    document.body.classList.toggle("lost", lost);
    if (lost) {
      $("state").dataset.state = "lost";
      $("state").textContent = "unknown: no monitor";
    }
  }

  function setupInputs(count) {
    if (inputs.length === count) {
      return;
    }
    inputs = Array.from({ length: count }, (_, n) => {
      const light = element("span", { class: "light", "data-on": "false" });
      const count = element("span", { class: "value" }, "?");
      const counted = element("span", {
        class: "count",
        title: `di-count ${n}: the board's counter of input ${n} (the simulated board ` +
               `counts rising edges); zorenc clear di-count ${n} clears it`,
      }, "counted ", count);
      $("input-list").append(element("li", { "data-input": String(n) },
        light, element("span", { class: "label" }, `input ${n}`), counted));
      return { light, count };
    });
  }

  function showStatus(status) {
    plots.setStatus(status);
    for (const input of status.inputs || []) {
      const shown = inputs[input.input];
      if (shown) {
        shown.light.dataset.on = input.state ? "true" : "false";
        shown.count.textContent = input.count;
      }
    }
  }

  async function readVersions() {
    for (const [name, id] of [["firmware-version", "firmware"], ["logic-version", "logic"]]) {
      try {
        const result = await api.get(`/api/settings/${name}`);
        $(id).textContent = result.readings[0].text.value;
      } catch (error) {
        $(id).textContent = "?";
      }
    }
  }

  // A new session after every (re)connection: a restarted monitor has a new
  // token, and the board may have been replaced.
  async function connected() {
    try {
      const session = await api.session();
      $("port").textContent = session.port || "?";
      const several = (session.boards || []).length > 1;
      $("back").hidden = !several;
      if (several) {
        $("board-name").textContent = session.board;
        document.title = `${session.board}: zorenc monitor`;
      }
      // The board's counts come from the monitor (the register table it is built with).
      plots.setup(session.channels);
      setupInputs(session.inputs);
      if (session.state) {
        showState(session.state);
      }
      ready = true;
      await settingsForm.setup(session);
      await readVersions();
      await settingsForm.readAll();
    } catch (error) {
      // The stream reports the loss; this is tried again when it is back.
    }
  }

  function listen() {
    stream = new EventSource(`${api.base}/api/events`);
    const on = (name, handler) => stream.addEventListener(name, (event) => {
      try {
        handler(JSON.parse(event.data));
      } catch (error) {
        console.error(`bad ${name} event`, error);
      }
    });
    on("state", showState);
    on("samples", (batch) => plots.addSamples(batch));
    on("status", showStatus);
    let first = true;
    stream.addEventListener("open", () => {
      showLost(false);
      if (!first || !ready) {
        connected();
      }
      first = false;
    });
    stream.addEventListener("error", () => showLost(true));
  }

  return {
    async start() {
      // A monitor of several boards opens on the overview; each board has
      // this page at /board/NAME/.
      if (!api.base) {
        try {
          const session = await api.get("/api/session");
          if (!session.board) {
            overview.start();
            return;
          }
        } catch (error) {
          // The board page's own connection handling reports it.
        }
      }
      actions.setup();
      await connected();
      listen();
      frameConsole.start();
    },
  };
})();

window.monitor = { plots, page, api };
page.start();
