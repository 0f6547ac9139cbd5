// Finding ports and boards through the companion library: the records of
// `zorenc ports --json`, and port identities ("auto", "serial:SN",
// "usb:VVVV:PPPP") resolved to the name a board opens.
using System;
using System.Collections.Generic;
using System.Linq;
using System.Text.Json;

namespace Zorenc {
/// <summary>A serial port, with the fields of <c>zorenc ports --json</c> (null where
/// unknown).</summary>
public sealed class PortInfo {
    internal PortInfo(JsonElement e)
    {
        Name = Text(e, "name") ?? "";
        Description = Text(e, "description");
        Transport = Text(e, "transport") ?? "unknown";
        Vid = Integer(e, "vid");
        Pid = Integer(e, "pid");
        Manufacturer = Text(e, "manufacturer");
        Product = Text(e, "product");
        SerialNumber = Text(e, "serial_number");
        Location = Text(e, "location");
        LatencyTimerMs = Integer(e, "latency_timer_ms");
        if (e.TryGetProperty("probe", out var p) && p.ValueKind == JsonValueKind.Object) {
            Probe = new PortProbe(Text(p, "result") ?? "error", Number(p, "firmware_version"),
                                  Number(p, "logic_version"), Text(p, "error"));
        }
    }

    /// <summary>The name to open (<c>COM3</c>, <c>/dev/ttyUSB0</c>).</summary>
    public string Name { get; }
    /// <summary>The system's description of the port.</summary>
    public string? Description { get; }
    /// <summary><c>usb</c>, <c>native</c>, <c>bluetooth</c>, <c>virtual</c> or
    /// <c>unknown</c>.</summary>
    public string Transport { get; }
    /// <summary>The USB vendor id.</summary>
    public int? Vid { get; }
    /// <summary>The USB product id.</summary>
    public int? Pid { get; }
    /// <summary>The USB manufacturer's name.</summary>
    public string? Manufacturer { get; }
    /// <summary>The USB product's name.</summary>
    public string? Product { get; }
    /// <summary>The USB adapter's serial number (<c>serial:SN</c> names it).</summary>
    public string? SerialNumber { get; }
    /// <summary>Where the adapter is plugged in.</summary>
    public string? Location { get; }
    /// <summary>The adapter's latency timer in milliseconds.</summary>
    public int? LatencyTimerMs { get; }
    /// <summary>What a probe found on the port; null when it was not probed.</summary>
    public PortProbe? Probe { get; }

    /// <summary>The name, the transport and what a probe found.</summary>
    public override string ToString()
    {
        return Name + " (" + Transport + (Probe == null ? "" : ", " + Probe.Result) + ")";
    }

    internal static IReadOnlyList<PortInfo> List(JsonElement array)
    {
        return array.ValueKind == JsonValueKind.Array
                   ? array.EnumerateArray().Select(e => new PortInfo(e)).ToArray()
                   : Array.Empty<PortInfo>();
    }

    private static string? Text(JsonElement e, string key)
    {
        return e.TryGetProperty(key, out var v) && v.ValueKind == JsonValueKind.String
                   ? v.GetString()
                   : null;
    }

    private static double? Number(JsonElement e, string key)
    {
        return e.TryGetProperty(key, out var v) && v.ValueKind == JsonValueKind.Number
                   ? v.GetDouble()
                   : (double?)null;
    }

    private static int? Integer(JsonElement e, string key)
    {
        return e.TryGetProperty(key, out var v) && v.ValueKind == JsonValueKind.Number &&
                       v.TryGetInt32(out int i)
                   ? i
                   : (int?)null;
    }
}

/// <summary>What a probe found on a port.</summary>
public sealed class PortProbe {
    internal PortProbe(string result, double? firmware, double? logic, string? error)
    {
        Result = result;
        FirmwareVersion = firmware;
        LogicVersion = logic;
        Error = error;
    }

    /// <summary><c>board</c>, <c>no-answer</c>, <c>busy</c> (another program holds the port)
    /// or <c>error</c>.</summary>
    public string Result { get; }
    /// <summary>The board's firmware version, when one answered.</summary>
    public double? FirmwareVersion { get; }
    /// <summary>The board's logic version, when one answered.</summary>
    public double? LogicVersion { get; }
    /// <summary>Why the port could not be probed, for <c>error</c>.</summary>
    public string? Error { get; }
}

public sealed partial class Board {
    /// <summary>The machine's serial ports, sorted by name, then the candidates the system does
    /// not list (a simulated board's pseudo-terminal).</summary>
    /// <param name="probe">Whether to ask every port at once whether a board is there (about
    /// a second in all). The probe creates handlers of its own, so it waits until no call of
    /// any board runs, like creating a board.</param>
    /// <param name="candidates">Further port names to list (and probe).</param>
    /// <exception cref="ZorEncToolkitException">The companion library failed.</exception>
    public static IReadOnlyList<PortInfo> ListPorts(bool probe = false,
                                                    IEnumerable<string>? candidates = null)
    {
        var request = new { probe, ports = Names(candidates) };
        return PortInfo.List(Toolkit.Call("ZorToolsListPorts", request, probe));
    }

    /// <summary>The ports where a probe finds a board, among the listed ports and the
    /// candidates.</summary>
    /// <param name="candidates">Further port names to probe.</param>
    /// <exception cref="ZorEncToolkitException">The companion library failed.</exception>
    public static IReadOnlyList<PortInfo> FindBoards(IEnumerable<string>? candidates = null)
    {
        return ListPorts(true, candidates).Where(p => p.Probe?.Result == "board").ToArray();
    }

    /// <summary>Whether port names a port by identity (<c>auto</c>, <c>serial:SN</c>,
    /// <c>usb:VVVV:PPPP</c>) rather than by name.</summary>
    /// <param name="port">A port's name or identity.</param>
    public static bool IsPortIdentity(string port)
    {
        return port == "auto" || port.StartsWith("serial:", StringComparison.Ordinal) ||
               port.StartsWith("usb:", StringComparison.Ordinal);
    }

    /// <summary>The name of the one port that an identity names: <c>serial:SN</c> (the USB
    /// adapter with that serial number), <c>usb:VVVV:PPPP</c> (hexadecimal ids), <c>auto</c>
    /// (the one port where a probe finds a board, among the listed ports and the
    /// candidates); a plain name is returned as it is.</summary>
    /// <param name="port">A port's identity or name.</param>
    /// <param name="candidates">Further port names to consider.</param>
    /// <exception cref="ArgumentNullException">port is null.</exception>
    /// <exception cref="ZorEncNotFoundException">None or several ports match
    /// (<see cref="ZorEncNotFoundException.Found"/> lists the ports seen).</exception>
    /// <exception cref="ZorEncUsageException">A malformed identity.</exception>
    public static string ResolvePort(string port, IEnumerable<string>? candidates = null)
    {
        if (port == null) {
            throw new ArgumentNullException(nameof(port));
        }
        if (!IsPortIdentity(port)) {
            return port;
        }
        var request = new { port, candidates = Names(candidates) };
        JsonElement result = Toolkit.Call("ZorToolsResolvePort", request, port == "auto");
        return result.GetProperty("name").GetString() ?? "";
    }

    /// <summary>Creates a handler and opens the port that a name or identity names
    /// (<see cref="ResolvePort"/>).</summary>
    /// <param name="port">The port's name or identity (<c>auto</c>, <c>serial:SN</c>,
    /// <c>usb:VVVV:PPPP</c>).</param>
    /// <param name="candidates">Further port names that an identity may match.</param>
    /// <exception cref="ZorEncNotOpenException">The port cannot be opened; no handler is
    /// left behind.</exception>
    /// <exception cref="ZorEncNotFoundException">No port or several match the
    /// identity.</exception>
    public Board(string port, IEnumerable<string>? candidates) : this(ResolvePort(port, candidates))
    {
    }

    private static string[] Names(IEnumerable<string>? candidates)
    {
        return candidates?.ToArray() ?? Array.Empty<string>();
    }
}
}
