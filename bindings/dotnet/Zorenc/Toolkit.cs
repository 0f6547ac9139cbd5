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
internal static class Toolkit {
    // The companion library needs the board library, which it names by its soname
    // (libzorenc_x64.so.1) on Linux: loaded first, the runtime's copy is the one it takes
    // wherever the package put both.
    private static readonly Lazy<Type> BoardLibrary = new Lazy<Type>(LoadBoardLibrary);

    private static Type LoadBoardLibrary()
    {
        Type declarations =
            NativeMethods.Is64BitProcess ? typeof(NativeMethods.X64) : typeof(NativeMethods.X32);
        Marshal.Prelink(declarations.GetMethod(nameof(NativeMethods.X64.ZorEncIsOpen))!);
        return declarations;
    }

    /// <summary>Calls the companion library and gives the reply's result (a detached copy),
    /// or throws the reply's error.</summary>
    internal static JsonElement Call(string function, Func<IntPtr> call)
    {
        _ = BoardLibrary.Value;
        IntPtr reply = call();
        if (reply == IntPtr.Zero) {
            throw new OutOfMemoryException(function +
                                           ": the companion library had no memory for its answer");
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
            throw new ZorEncToolkitException(function, "internal", "not JSON: " + e.Message);
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
                    throw Error(function, Text(error, "kind") ?? "internal", Text(error, "message"),
                                error.Clone());
                }
            }
            throw new ZorEncToolkitException(function, "internal", "not a reply document: " + text);
        }
    }

    // The kinds the companion library reports; a board failure that carries the board
    // library's result code throws that code's exception, as the Board's own calls do.
    private static Exception Error(string function, string kind, string? message, JsonElement error)
    {
        switch (kind) {
        case "usage":
            return new ZorEncUsageException(function, message, error);
        case "not-found":
            return new ZorEncNotFoundException(function, message, error);
        case "board":
            if (error.TryGetProperty("result", out var result) &&
                result.ValueKind == JsonValueKind.Number && result.TryGetUInt32(out uint code) &&
                code != ZorEncResultCode.Ok) {
                return ZorEncException.For(code, function, message);
            }
            return new ZorEncBoardException(function, message, error);
        default:
            return new ZorEncToolkitException(function, kind, message, error);
        }
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

    /// <summary>A request document as the C functions take it: UTF-8, ended by a 0.</summary>
    internal static byte[] Request(object request)
    {
        byte[] json = JsonSerializer.SerializeToUtf8Bytes(request);
        byte[] text = new byte[json.Length + 1];
        Buffer.BlockCopy(json, 0, text, 0, json.Length);
        return text;
    }

    /// <summary>Calls a function that takes a request alone; exclusive calls wait until no
    /// call of any board runs (the probe creates handlers of its own).</summary>
    internal static JsonElement Call(string function, object request, bool exclusive)
    {
        byte[] text = Request(request);
        Func<JsonElement> call = () => Call(function, () => Entry(function, text));
        return exclusive ? HandlerTable.Exclusive(call) : HandlerTable.Shared(call);
    }

    private static IntPtr Entry(string function, byte[] request)
    {
        bool x64 = NativeMethods.Is64BitProcess;
        switch (function) {
        case nameof(X64.ZorToolsListPorts):
            return x64 ? X64.ZorToolsListPorts(request) : X32.ZorToolsListPorts(request);
        case nameof(X64.ZorToolsResolvePort):
            return x64 ? X64.ZorToolsResolvePort(request) : X32.ZorToolsResolvePort(request);
        default:
            throw new ArgumentException("not a request-only function: " + function);
        }
    }

    /// <summary>Calls a function that takes a board's handle and a request.</summary>
    internal static IntPtr Entry(string function, IntPtr handle, byte[] request)
    {
        bool x64 = NativeMethods.Is64BitProcess;
        switch (function) {
        case nameof(X64.ZorToolsConfigSave):
            return x64 ? X64.ZorToolsConfigSave(handle, request)
                       : X32.ZorToolsConfigSave(handle, request);
        case nameof(X64.ZorToolsConfigDiff):
            return x64 ? X64.ZorToolsConfigDiff(handle, request)
                       : X32.ZorToolsConfigDiff(handle, request);
        case nameof(X64.ZorToolsConfigApply):
            return x64 ? X64.ZorToolsConfigApply(handle, request)
                       : X32.ZorToolsConfigApply(handle, request);
        default:
            throw new ArgumentException("not a function on a board: " + function);
        }
    }

    private static void Free(IntPtr document)
    {
        if (NativeMethods.Is64BitProcess) {
            X64.ZorToolsFree(document);
        } else {
            X32.ZorToolsFree(document);
        }
    }

    // cdecl with plain names in every build; the file names differ by bitness alone,
    // as the board library's do: zorenc_tools_x64 (libzorenc_tools_x64.so on Linux,
    // zorenc_tools_x64.dll on Windows) and zorenc_tools_x32.dll. Requests are UTF-8
    // text ended by a 0 (Request). A set per file, since the netstandard2.0 build
    // serves .NET Framework, which has no resolver (NativeLibrary) to choose a file
    // at run time and copies both companions into an AnyCPU program's folder.
    private static class X64 {
        private const string Library = "zorenc_tools_x64";
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern void ZorToolsFree(IntPtr document);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern IntPtr ZorToolsListPorts(byte[] request);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern IntPtr ZorToolsResolvePort(byte[] request);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern IntPtr ZorToolsConfigSave(IntPtr handle, byte[] request);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern IntPtr ZorToolsConfigDiff(IntPtr handle, byte[] request);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern IntPtr ZorToolsConfigApply(IntPtr handle, byte[] request);
    }

    private static class X32 {
        private const string Library = "zorenc_tools_x32";
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern void ZorToolsFree(IntPtr document);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern IntPtr ZorToolsListPorts(byte[] request);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern IntPtr ZorToolsResolvePort(byte[] request);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern IntPtr ZorToolsConfigSave(IntPtr handle, byte[] request);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern IntPtr ZorToolsConfigDiff(IntPtr handle, byte[] request);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        internal static extern IntPtr ZorToolsConfigApply(IntPtr handle, byte[] request);
    }
}

public sealed partial class Board {
    /// <summary>A companion library call on this board's handle, serialised with the board's
    /// other calls. The configuration methods are wrappers over it.</summary>
    internal JsonElement CallToolkit(string function, object request)
    {
        byte[] text = Toolkit.Request(request);
        return Invoke(h => Toolkit.Call(function, () => Toolkit.Entry(function, h, text)));
    }
}
}
