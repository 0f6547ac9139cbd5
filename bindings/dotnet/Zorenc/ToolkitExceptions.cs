// The failures the companion library reports by kind rather than by a result
// code of the board library: a malformed request or configuration ("usage"),
// a port or board that failed ("board"), no match or several ("not-found"),
// and anything it did not foresee ("internal").
using System;
using System.Collections.Generic;
using System.Linq;
using System.Text.Json;

namespace Zorenc {
/// <summary>A failure the companion library reports with a kind of its own (its
/// <see cref="ZorEncException.Code"/> is <see cref="ToolkitCode"/>); the base of
/// <see cref="ZorEncUsageException"/>, <see cref="ZorEncBoardException"/> and
/// <see cref="ZorEncNotFoundException"/>, and thrown itself for the kind
/// <c>internal</c>.</summary>
public class ZorEncToolkitException : ZorEncException {
    /// <summary>The code these exceptions carry: none of the board library's.</summary>
    public const uint ToolkitCode = 0xFFFFFFFF;

    private readonly string? message;

    /// <summary>A companion library failure.</summary>
    /// <param name="function">The C function that reported it.</param>
    /// <param name="kind">Its kind, as the companion library names it.</param>
    /// <param name="message">Its message.</param>
    /// <param name="details">The error document (its keys beyond kind and message are
    /// documented per function), or default.</param>
    public ZorEncToolkitException(string? function, string kind, string? message,
                                  JsonElement details = default)
        : base(ToolkitCode, function, kind + ": " + message)
    {
        Kind = kind;
        this.message = message;
        Details = details;
    }

    /// <summary>The kind of failure: <c>usage</c>, <c>board</c>, <c>not-found</c> or
    /// <c>internal</c>.</summary>
    public string Kind { get; }

    /// <summary>The whole error document, with the keys the function documents.</summary>
    public JsonElement Details { get; }

    /// <summary>The function, the kind and the companion library's message.</summary>
    public override string Message =>
        (Function == null ? "" : Function + ": ") + Kind + ": " + message;

    /// <summary>The strings of the error document's array key, empty when it has none.</summary>
    protected IReadOnlyList<string> Texts(string key)
    {
        return Details.ValueKind == JsonValueKind.Object &&
                       Details.TryGetProperty(key, out var list) &&
                       list.ValueKind == JsonValueKind.Array
                   ? list.EnumerateArray().Select(e => e.ToString()).ToArray()
                   : Array.Empty<string>();
    }
}

/// <summary>A malformed request or value, such as a faulty configuration: nothing was done
/// (nothing was sent to the board).</summary>
public sealed class ZorEncUsageException : ZorEncToolkitException {
    /// <summary>A usage failure.</summary>
    /// <param name="function">The C function that reported it.</param>
    /// <param name="message">Its message.</param>
    /// <param name="details">The error document, or default.</param>
    public ZorEncUsageException(string? function, string? message, JsonElement details = default)
        : base(function, "usage", message, details)
    {
    }

    /// <summary>A faulty configuration's faults, one text each (empty for other usage
    /// failures).</summary>
    public IReadOnlyList<string> Faults => Texts("faults");
}

/// <summary>The port or the board failed in a way that has no result code of its own: a
/// configuration saved from other firmware (<see cref="Reason"/> <c>version</c>, nothing
/// written), a setting that did not write or read back (<c>write</c>), a failed save to flash
/// (<c>flash</c>). A failure with a result code throws that code's exception instead (a
/// silent board a <see cref="ZorEncTimeoutException"/>).</summary>
public sealed class ZorEncBoardException : ZorEncToolkitException {
    /// <summary>A board failure.</summary>
    /// <param name="function">The C function that reported it.</param>
    /// <param name="message">Its message.</param>
    /// <param name="details">The error document, or default.</param>
    public ZorEncBoardException(string? function, string? message, JsonElement details = default)
        : base(function, "board", message, details)
    {
    }

    /// <summary><c>version</c>, <c>write</c> or <c>flash</c>, or null.</summary>
    public string? Reason => Details.ValueKind == JsonValueKind.Object &&
                                     Details.TryGetProperty("reason", out var r) &&
                                     r.ValueKind == JsonValueKind.String
                                 ? r.GetString()
                                 : null;

    /// <summary>The settings written and read back equal before the failure
    /// (<c>trigger-delay 2</c>).</summary>
    public IReadOnlyList<string> Verified => Texts("verified");

    /// <summary>The settings sent whose outcome is unknown: the reply never came, came
    /// malformed or refused, or the read-back failed or differed. The board may or may not
    /// hold them: read them again, or apply again.</summary>
    public IReadOnlyList<string> Unconfirmed => Texts("unconfirmed");

    /// <summary>The settings that were to be written and were not sent.</summary>
    public IReadOnlyList<string> NotSent => Texts("not_sent");

    /// <summary>The same as <see cref="Verified"/>, the name of earlier releases (kept for
    /// one more release).</summary>
    public IReadOnlyList<string> Written => Texts("written");

    /// <summary><see cref="Unconfirmed"/> followed by <see cref="NotSent"/>, the name of
    /// earlier releases (kept for one more release): it lists settings the board may hold.
    /// </summary>
    public IReadOnlyList<string> NotWritten => Texts("not_written");
}

/// <summary>No port matched a port identity (<c>auto</c>, <c>serial:SN</c>,
/// <c>usb:VVVV:PPPP</c>), or more than one did.</summary>
public sealed class ZorEncNotFoundException : ZorEncToolkitException {
    /// <summary>A not-found failure.</summary>
    /// <param name="function">The C function that reported it.</param>
    /// <param name="message">Its message.</param>
    /// <param name="details">The error document, or default.</param>
    public ZorEncNotFoundException(string? function, string? message, JsonElement details = default)
        : base(function, "not-found", message, details)
    {
    }

    /// <summary>The ports that were seen.</summary>
    public IReadOnlyList<PortInfo> Found =>
        Details.ValueKind == JsonValueKind.Object && Details.TryGetProperty("found", out var f)
            ? PortInfo.List(f)
            : Array.Empty<PortInfo>();
}
}
