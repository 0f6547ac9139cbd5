// The channels: per channel its position, counts and direction, and a plot of
// the last 30 s of positions (uPlot) with a dot where a trigger fired.
//
// Samples arrive in batches every 50 ms; they go into arrays at once and the
// plots are drawn at most ten times a second, on animation frames, so a fast
// board never stalls the browser (a hidden tab draws nothing at all).
"use strict";

const plots = (() => {
  const kWindowSeconds = 30;
  const kDrawEveryMs = 100;
  const kPlotHeight = 220;
  const kColours = ["#1f77b4", "#2ca02c", "#9467bd", "#d62728"];

  const t = [];          // seconds since the monitor started, shared by the channels
  const positions = [];  // per channel, aligned with t
  const firings = [];    // per channel, aligned with t: the position where a trigger fired, else null
  const lastTriggerCount = [];
  const panels = [];
  let drawn = 0;
  let drawPending = false;
  let received = 0;

  function formatPosition(value) {
    return value === undefined ? "?" : String(value);
  }

  function makePanel(channel) {
    const number = (name) => element("span", { class: "value", "data-field": name }, "?");
    const facts = element("dl", { class: "facts" },
      element("dt", {}, "position"), element("dd", {}, number("position")),
      element("dt", {}, "triggers"), element("dd", {}, number("trigger_count")),
      element("dt", {}, "errors"), element("dd", {}, number("trigger_error_count")),
      element("dt", {}, "direction"), element("dd", {}, number("direction")));
    const plot = element("div", { class: "plot" });
    const panel = element("article", { class: "channel", "data-channel": String(channel) },
      element("h3", {}, `channel ${channel}`), facts, plot);
    document.getElementById("channel-list").append(panel);

    const options = {
      width: 400,
      height: kPlotHeight,
      legend: { show: false },
      cursor: { show: false },
      scales: { x: { time: false } },
      axes: [{ label: "s" }, { size: 70 }],
      series: [
        { label: "t" },
        { label: "position", stroke: kColours[channel], width: 1.5 },
        { label: "trigger fired", stroke: "#e6550d", fill: "#e6550d", paths: () => null,
          points: { show: true, size: 7, width: 1 } },
      ],
    };
    const chart = new uPlot(options, [[], [], []], plot);
    const fields = {};
    for (const node of facts.querySelectorAll("[data-field]")) {
      fields[node.dataset.field] = node;
    }
    return { chart, plot, fields };
  }

  function resize() {
    for (const panel of panels) {
      const width = Math.max(200, panel.plot.clientWidth);
      panel.chart.setSize({ width, height: kPlotHeight });
    }
  }

  function trim() {
    if (t.length === 0) {
      return;
    }
    const oldest = t[t.length - 1] - kWindowSeconds;
    let drop = 0;
    while (drop < t.length && t[drop] < oldest) {
      drop++;
    }
    if (drop > 0) {
      t.splice(0, drop);
      for (let c = 0; c < panels.length; c++) {
        positions[c].splice(0, drop);
        firings[c].splice(0, drop);
      }
    }
  }

  function draw(now) {
    drawPending = false;
    if (now - drawn < kDrawEveryMs) {
      schedule();
      return;
    }
    drawn = now;
    const latest = t.length ? t[t.length - 1] : 0;
    for (let c = 0; c < panels.length; c++) {
      const chart = panels[c].chart;
      chart.batch(() => {
        chart.setData([t, positions[c], firings[c]], false);
        chart.setScale("x", { min: latest - kWindowSeconds, max: latest });
        chart.setScale("y", range(positions[c]));
      });
    }
  }

  function range(values) {
    let low = Infinity;
    let high = -Infinity;
    for (const v of values) {
      low = v < low ? v : low;
      high = v > high ? v : high;
    }
    if (low === Infinity) {
      return { min: -1, max: 1 };
    }
    const margin = Math.max(1, (high - low) * 0.05);
    return { min: low - margin, max: high + margin };
  }

  function schedule() {
    if (!drawPending) {
      drawPending = true;
      requestAnimationFrame(draw);
    }
  }

  return {
    setup(channels) {
      if (panels.length === channels) {
        return;
      }
      for (let c = 0; c < channels; c++) {
        positions.push([]);
        firings.push([]);
        panels.push(makePanel(c));
      }
      window.addEventListener("resize", resize);
      resize();
    },

    // {"t_ms": [...], "positions": [[ch0, ch1, ...], ...]}
    addSamples(batch) {
      const times = (batch.t_ms || []).map((ms) => ms / 1000);
      const rows = batch.positions || [];
      if (panels.length === 0) {
        return; // not set up yet: the session has not answered
      }
      for (let i = 0; i < times.length && i < rows.length; i++) {
        if (t.length && times[i] < t[t.length - 1]) {
          // A new run of the monitor starts its clock again.
          t.length = 0;
          positions.forEach((p) => { p.length = 0; });
          firings.forEach((f) => { f.length = 0; });
        }
        t.push(times[i]);
        for (let c = 0; c < panels.length; c++) {
          positions[c].push(rows[i][c]);
          firings[c].push(null);
        }
        received++;
      }
      trim();
      const last = rows[rows.length - 1];
      if (last) {
        panels.forEach((panel, c) => {
          panel.fields.position.textContent = formatPosition(last[c]);
        });
      }
      schedule();
    },

    // {"channels": [{"channel", "trigger_count", "trigger_error_count", "direction"}], ...}
    setStatus(status) {
      for (const ch of status.channels || []) {
        const panel = panels[ch.channel];
        if (!panel) {
          continue;
        }
        panel.fields.trigger_count.textContent = ch.trigger_count;
        panel.fields.trigger_error_count.textContent = ch.trigger_error_count;
        panel.fields.direction.textContent = ch.direction ? "down" : "up";
        const before = lastTriggerCount[ch.channel];
        if (before !== undefined && ch.trigger_count > before && t.length) {
          const at = t.length - 1;
          firings[ch.channel][at] = positions[ch.channel][at];
          schedule();
        }
        lastTriggerCount[ch.channel] = ch.trigger_count;
      }
    },

    // For a look from the browser's console (and the page's test).
    snapshot() {
      return {
        received,
        plotted: panels.map((p) => p.chart.data[0].length),
        latestT: t.length ? t[t.length - 1] : null,
        latest: panels.map((p, c) => positions[c][positions[c].length - 1]),
        firings: firings.map((f) => f.filter((v) => v !== null).length),
      };
    },
  };
})();
