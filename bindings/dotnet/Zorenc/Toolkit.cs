// The companion library zorenc_tools (ports, identity, configuration files)
// answers every call with a JSON document it allocated: {"ok":true,"result":...}
// or {"ok":false,"error":{"kind":...,"message":...}}, freed with ZorToolsFree.
// Toolkit.Call is the one way the .NET side takes to it: each toolkit method of
// Board is a thin wrapper that names the C function and reads its result.
using System;
using System.Runtime.InteropServices;
using System.Text;
using System.Text.Json;

namespace Zorenc {
/// <summary>A failure the companion library reports with a kind of its own rather than a
/// result code of the board library (<see cref="ZorEncException.Code"/> is then
/// <see cref="ToolkitCode"/>).</summary>
public sealed class ZorEncToolkitException : ZorEncException {
    /// <summary>The code these exceptions carry: none of the board library's.</summary>
    public const uint ToolkitCode = 0xFFFFFFFF;

    /// <summary>A companion library failure.</summary>
    /// <param name="function">The C function that reported it.</param>
    /// <param name="kind">Its kind, as the companion library names it.</param>
    /// <param name="message">Its message.</param>
    public ZorEncToolkitException(string? function, string kind, string? message)
        : base(ToolkitCode, function, kind + ": " + message)
    {
        Kind = kind;
    }

    /// <summary>The kind of failure, as the companion library names it.</summary>
    public string Kind { get; }
}

internal static class Toolkit {
    private static readonly bool Windows = RuntimeInformation.IsOSPlatform(OSPlatform.Windows);

    /// <summary>Calls the companion library and gives the reply's result (a detached copy),
    /// or throws the reply's error.</summary>
    internal static JsonElement Call(string function, Func<IntPtr> call)
    {
        IntPtr reply = call();
        if (reply == IntPtr.Zero) {
            throw new ZorEncToolkitException(function, "no-reply", "the call gave no document");
        }
        string text;
        try {
            text = Utf8(reply);
        } finally {
            Free(reply);
        }
        return Parse(function, text);
    }

    /// <summary>The result of a reply document, or its error as the exception of its kind: a
    /// kind that names a result code (<c>timeout</c>, <c>ZORENC_ERR_CHANNEL</c>...) throws that
    /// code's exception, any other a <see cref="ZorEncToolkitException"/>.</summary>
    internal static JsonElement Parse(string function, string text)
    {
        JsonDocument document;
        try {
            document = JsonDocument.Parse(text);
        } catch (JsonException e) {
            throw new ZorEncToolkitException(function, "bad-reply", e.Message);
        }
        using (document)
        {
            JsonElement root = document.RootElement;
            if (root.ValueKind == JsonValueKind.Object && root.TryGetProperty("ok", out var ok)) {
                if (ok.ValueKind == JsonValueKind.True) {
                    return root.TryGetProperty("result", out var result) ? result.Clone() : default;
                }
                if (ok.ValueKind == JsonValueKind.False &&
                    root.TryGetProperty("error", out var error) &&
                    error.ValueKind == JsonValueKind.Object) {
                    throw Error(function, Text(error, "kind") ?? "unknown", Text(error, "message"));
                }
            }
            throw new ZorEncToolkitException(function, "bad-reply",
                                             "not a reply document: " + text);
        }
    }

    private static Exception Error(string function, string kind, string? message)
    {
        string key = Key(kind);
        foreach (uint code in new[] { ZorEncResultCode.Timeout, ZorEncResultCode.NotOpen,
                                      ZorEncResultCode.Channel, ZorEncResultCode.Param,
                                      ZorEncResultCode.Checksum, ZorEncResultCode.Frame,
                                      ZorEncResultCode.Aborted }) {
            if (key == Key(ResultCodeTexts.Name(code))) {
                return ZorEncException.For(code, function, message);
            }
        }
        return new ZorEncToolkitException(function, kind, message);
    }

    // "ZORENC_ERR_NOT_OPEN", "not-open" and "NotOpen" are one kind.
    private static string Key(string kind)
    {
        string key = kind.Replace("_", "").Replace("-", "").ToUpperInvariant();
        return key.StartsWith("ZORENCERR", StringComparison.Ordinal) ? key.Substring(9) : key;
    }

    private static string? Text(JsonElement element, string name)
    {
        return element.TryGetProperty(name, out var value) &&
                       value.ValueKind == JsonValueKind.String
                   ? value.GetString()
                   : null;
    }

    private static string Utf8(IntPtr text)
    {
        int length = 0;
        while (Marshal.ReadByte(text, length) != 0) {
            ++length;
        }
        byte[] bytes = new byte[length];
        Marshal.Copy(text, bytes, 0, length);
        return Encoding.UTF8.GetString(bytes);
    }

    private static void Free(IntPtr document)
    {
        if (!Windows) {
            Unix.ZorToolsFree(document);
        } else if (NativeMethods.Is64BitProcess) {
            X64.ZorToolsFree(document);
        } else {
            X32.ZorToolsFree(document);
        }
    }

    // cdecl with plain names in every build; only the file names differ.
    private static class Unix {
        [DllImport("zorenc_tools", CallingConvention = CallingConvention.Cdecl,
                   ExactSpelling = true)]
        internal static extern void ZorToolsFree(IntPtr document);
    }

    private static class X64 {
        [DllImport("zorenc_tools_x64", CallingConvention = CallingConvention.Cdecl,
                   ExactSpelling = true)]
        internal static extern void ZorToolsFree(IntPtr document);
    }

    private static class X32 {
        [DllImport("zorenc_tools_x32", CallingConvention = CallingConvention.Cdecl,
                   ExactSpelling = true)]
        internal static extern void ZorToolsFree(IntPtr document);
    }
}

public sealed partial class Board {
    /// <summary>A companion library call on this board's handle, serialised with the board's
    /// other calls. The ports and configuration methods are wrappers over it.</summary>
    internal JsonElement CallToolkit(string function, Func<IntPtr, IntPtr> call)
    {
        return Invoke(h => Toolkit.Call(function, () => call(h)));
    }
}
}
