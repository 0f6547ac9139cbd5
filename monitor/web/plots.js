// The channels: per channel its position, counts and direction, and a plot of
// the last 30 s of positions (uPlot) with a dot where a trigger fired.
//
// Samples arrive in batches every 50 ms, stamped with the monitor's clock;
// they go into arrays at once and the plots are drawn at most ten times a
// second, on animation frames, so a fast board never stalls the browser (a
// hidden tab draws nothing at all). The x axis is seconds before now: the
// plots keep moving while no sample comes, and a time without samples (the
// board not answering, its port gone) is a gap in the trace.
"use strict";

const plots = (() => {
  const kWindowSeconds = 30;
  const kDrawEveryMs = 100;
  const kGapSeconds = 0.5; // samples further apart than this are not joined
  const kPlotHeight = 220;
  const kColours = ["#1f77b4", "#2ca02c", "#9467bd", "#d62728"];

  const t = [];          // the monitor's seconds, shared by the channels
  const positions = [];  // per channel, aligned with t; null marks a gap
  const firings = [];    // per channel, aligned with t: the position where a trigger fired, else null
  const lastTriggerCount = [];
  const panels = [];
  let drawn = 0;
  let drawPending = false;
  let received = 0;
  let clockOffset = null; // page seconds minus monitor seconds

  function pageSeconds() {
    return performance.now() / 1000;
  }

  // Now on the monitor's clock, as the latest batch tells it.
  function monitorNow() {
    return clockOffset === null ? (t.length ? t[t.length - 1] : 0) : pageSeconds() - clockOffset;
  }

  function makePanel(channel) {
    const number = (name) => element("span", { class: "value", "data-field": name }, "?");
    const facts = element("dl", { class: "facts" },
      element("dt", {}, "position"), element("dd", {}, number("position"), " counts"),
      element("dt", {}, "triggers fired"), element("dd", {}, number("trigger_count")),
      element("dt", {}, "trigger errors"), element("dd", {}, number("trigger_error_count")),
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
      axes: [axes.secondsAgo, axes.counts],
      series: [
        { label: "s" },
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
    const oldest = monitorNow() - kWindowSeconds - 1;
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

  function push(time, row) {
    t.push(time);
    for (let c = 0; c < panels.length; c++) {
      positions[c].push(row ? row[c] : null);
      firings[c].push(null);
    }
  }

  function draw(now) {
    drawPending = false;
    if (now - drawn < kDrawEveryMs) {
      schedule();
      return;
    }
    drawn = now;
    trim();
    const at = monitorNow();
    const x = t.map((v) => v - at);
    for (let c = 0; c < panels.length; c++) {
      const chart = panels[c].chart;
      chart.batch(() => {
        chart.setData([x, positions[c], firings[c]], false);
        chart.setScale("x", { min: -kWindowSeconds, max: 0 });
        chart.setScale("y", range(positions[c]));
      });
    }
  }

  function range(values) {
    let low = Infinity;
    let high = -Infinity;
    for (const v of values) {
      if (v !== null) {
        low = v < low ? v : low;
        high = v > high ? v : high;
      }
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
      // The axis moves on while no sample comes.
      setInterval(schedule, 500);
    },

    // {"t_ms": [...], "positions": [[ch0, ch1, ...], ...]}
    addSamples(batch) {
      const times = (batch.t_ms || []).map((ms) => ms / 1000);
      const rows = batch.positions || [];
      if (panels.length === 0) {
        return; // not set up yet: the session has not answered
      }
      for (let i = 0; i < times.length && i < rows.length; i++) {
        const last = t.length ? t[t.length - 1] : null;
        if (last !== null && times[i] < last) {
          // A new run of the monitor starts its clock again.
          t.length = 0;
          positions.forEach((p) => { p.length = 0; });
          firings.forEach((f) => { f.length = 0; });
        } else if (last !== null && times[i] - last > kGapSeconds) {
          push(last + 0.001, null); // no sample meanwhile: a gap, not a line
        }
        push(times[i], rows[i]);
        received++;
      }
      if (times.length) {
        clockOffset = pageSeconds() - times[times.length - 1];
      }
      const last = rows[rows.length - 1];
      if (last) {
        panels.forEach((panel, c) => {
          panel.fields.position.textContent = axes.number(last[c]);
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

    // The y labels of a channel's plot, the width of the widest, the room
    // the axis gives them, and the axes' units (for the page's test).
    labelsFit(channel) {
      const chart = panels[channel].chart;
      const axis = chart.axes[1];
      const labels = (axis._values || []).filter((v) => v !== "");
      chart.ctx.font = axis.font[0];
      const widest = Math.max(0, ...labels.map((v) => chart.ctx.measureText(v).width)) /
                     (window.devicePixelRatio || 1);
      return { labels, widest, room: axis._size - axis.ticks.size - axis.gap,
               units: chart.axes.map((a) => a.label) };
    },

    // For a look from the browser's console (and the page's test).
    snapshot() {
      const latest = (c) => {
        for (let i = positions[c].length - 1; i >= 0; i--) {
          if (positions[c][i] !== null) {
            return positions[c][i];
          }
        }
        return undefined;
      };
      return {
        received,
        plotted: panels.map((p) => p.chart.data[0].length),
        latestT: t.length ? t[t.length - 1] : null,
        latest: panels.map((p, c) => latest(c)),
        firings: firings.map((f) => f.filter((v) => v !== null).length),
        gaps: positions.length ? positions[0].filter((v) => v === null).length : 0,
        xRange: panels.length ? [panels[0].chart.scales.x.min, panels[0].chart.scales.x.max] : null,
        yAxisWidth: panels.length ? panels[0].chart.axes[1]._size : null,
      };
    },
  };
})();
