// Requests to the monitor (docs/monitor.md). Every answer is the document
// {"ok": true, "result": ...} or {"ok": false, "error": {"kind", "message",
// ...}}; call() gives the result or throws an ApiError carrying the message
// and the error's other keys (such as "faults" of a refused configuration).
"use strict";

class ApiError extends Error {
  // details: the error document's other keys (an apply's lists, a
  // configuration's faults), {} when there are none.
  constructor(kind, message, status, details) {
    super(message);
    this.kind = kind;
    this.status = status;
    this.details = details || {};
  }
}

// A board's connection state, as the monitor names it, in words.
function stateText(state) {
  const words = {
    connected: "connected",
    "not-answering": "not answering",
    "port-gone": "port gone",
    starting: "starting",
  };
  return words[state] || state;
}

const api = {
  // The token of this run of the monitor, which every changing request
  // carries; fetched again after a reconnection (a new run has a new one).
  token: "",
  // Where this board's requests go: "" with one board, "/board/NAME" on a
  // board's page of a monitor of several.
  base: (window.location.pathname.match(/^\/board\/[^/]+/) || [""])[0],

  async call(method, path, body) {
    const init = { method, headers: {}, cache: "no-store" };
    if (method !== "GET") {
      init.headers["X-Zorenc-Token"] = api.token;
    }
    if (body !== undefined) {
      init.headers["Content-Type"] = "application/json";
      init.body = JSON.stringify(body);
    }
    let response;
    try {
      response = await fetch(api.base + path, init);
    } catch (error) {
      throw new ApiError("connection", "the monitor does not answer", 0);
    }
    let document = null;
    try {
      document = await response.json();
    } catch (error) {
      throw new ApiError("internal", `${path}: not a JSON answer (HTTP ${response.status})`,
                         response.status);
    }
    if (!document || document.ok !== true) {
      const error = (document && document.error) || {};
      throw new ApiError(error.kind || "internal", error.message || `HTTP ${response.status}`,
                         response.status, error);
    }
    return document.result;
  },

  get(path) { return api.call("GET", path); },
  post(path, body) { return api.call("POST", path, body === undefined ? {} : body); },

  async session() {
    const session = await api.get("/api/session");
    api.token = session.token || "";
    return session;
  },
};

// Small DOM helpers shared by the page's parts.
function element(tag, attributes, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(attributes || {})) {
    if (key === "class") {
      node.className = value;
    } else if (key.startsWith("data-")) {
      node.setAttribute(key, value);
    } else {
      node[key] = value;
    }
  }
  for (const child of children) {
    node.append(child);
  }
  return node;
}

// Asks before an action that changes the board; resolves to true or false.
function confirmAction(text) {
  const dialog = document.getElementById("confirm");
  document.getElementById("confirm-text").textContent = text;
  return new Promise((resolve) => {
    dialog.addEventListener("close", () => resolve(dialog.returnValue === "ok"), { once: true });
    dialog.returnValue = "";
    dialog.showModal();
  });
}
