// The plots' axes: the x axis in seconds before now (0 at the right), the y
// axis in counts, with room for its widest label, numbers written plainly.
"use strict";

const axes = (() => {
  // A tick as people write it: 1500, -2000000000, 0.5 (no grouping that a
  // narrow axis could cut to "-,000,000").
  function number(value) {
    return value == null ? "" : String(Number(value.toPrecision(12)));
  }

  // uPlot sizes an axis before it knows its labels, and again once it does:
  // size it to the widest label each time (the label line is apart).
  function fit(self, values, axisIndex, cycle) {
    const axis = self.axes[axisIndex];
    if (cycle > 1) {
      return axis._size;
    }
    let size = axis.ticks.size + axis.gap;
    const widest = (values || []).reduce((a, v) => (v.length > a.length ? v : a), "");
    if (widest !== "") {
      self.ctx.font = axis.font[0];
      size += self.ctx.measureText(widest).width / (window.devicePixelRatio || 1);
    }
    return Math.ceil(size);
  }

  return {
    // x values are seconds relative to now (negative): shown as seconds ago.
    secondsAgo: {
      label: "seconds before now",
      values: (u, splits) => splits.map((v) => number(v === 0 ? 0 : -v)),
    },
    counts: {
      label: "position (counts)",
      size: fit,
      values: (u, splits) => splits.map(number),
    },
    number,
  };
})();
