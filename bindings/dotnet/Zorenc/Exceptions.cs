// The exceptions a Board throws instead of result codes. Each code has its own
// class; where .NET has an exception of the same meaning the class derives from
// it (a time-out is a TimeoutException, a refused channel or value an
// ArgumentException, an aborted read an OperationCanceledException), so every
// class implements IZorEncError for what all of them share.
using System;
using System.Threading;

namespace Zorenc {
/// <summary>What every exception of zorenc carries: the library's result code, its name and
/// meaning, and the C function that gave it. Catch all of them with
/// <c>catch (Exception e) when (e is IZorEncError)</c>.</summary>
public interface IZorEncError {
    /// <summary>The library's result code (see <see cref="ZorEncResultCode"/>).</summary>
    uint Code { get; }

    /// <summary>The code's symbolic name, such as <c>ZORENC_ERR_TIMEOUT</c>.</summary>
    string Name { get; }

    /// <summary>What the code means, in one line.</summary>
    string Meaning { get; }

    /// <summary>The C function that gave the code (<c>ZorEncGetTriggerDelay</c>), when
    /// known.</summary>
    string? Function { get; }
}

/// <summary>A zorenc call that did not succeed, for the codes that have no .NET exception of
/// their own meaning; the base of <see cref="ZorEncNotOpenException"/>,
/// <see cref="ZorEncChecksumException"/>, <see cref="ZorEncFrameException"/> and
/// <see cref="ZorEncStatusException"/>. Time-outs, refused arguments and aborted reads throw
/// <see cref="ZorEncTimeoutException"/>, <see cref="ZorEncChannelException"/>,
/// <see cref="ZorEncParamException"/> and <see cref="ZorEncAbortedException"/>.</summary>
public class ZorEncException : Exception, IZorEncError {
    /// <summary>An exception for a result code.</summary>
    /// <param name="code">The result code.</param>
    /// <param name="function">The C function that gave it, if known.</param>
    /// <param name="detail">Further words for the message, if any.</param>
    public ZorEncException(uint code, string? function = null, string? detail = null)
        : base(ErrorText.Format(code, function, detail))
    {
        Code = code;
        Function = function;
    }

    /// <inheritdoc/>
    public uint Code { get; }

    /// <inheritdoc/>
    public string Name => ResultCodeTexts.Name(Code);

    /// <inheritdoc/>
    public string Meaning => ResultCodeTexts.Meaning(Code);

    /// <inheritdoc/>
    public string? Function { get; }

    /// <summary>The exception for a result code other than <see cref="ZorEncResultCode.Ok"/>,
    /// of the class that stands for it (not thrown).</summary>
    /// <param name="code">The result code.</param>
    /// <param name="function">The C function that gave it, if known.</param>
    /// <param name="detail">Further words for the message, if any.</param>
    /// <exception cref="ArgumentException">code is <see cref="ZorEncResultCode.Ok"/>.</exception>
    public static Exception For(uint code, string? function = null, string? detail = null)
    {
        switch (code) {
        case ZorEncResultCode.Ok:
            throw new ArgumentException("ZORENC_OK is not an error", nameof(code));
        case ZorEncResultCode.Timeout:
            return new ZorEncTimeoutException(function, detail);
        case ZorEncResultCode.Channel:
            return new ZorEncChannelException(function, detail);
        case ZorEncResultCode.Param:
            return new ZorEncParamException(function, detail);
        case ZorEncResultCode.Aborted:
            return new ZorEncAbortedException(function, CancellationToken.None);
        case ZorEncResultCode.NotOpen:
            return new ZorEncNotOpenException(function, detail);
        case ZorEncResultCode.Checksum:
            return new ZorEncChecksumException(function, null);
        case ZorEncResultCode.Frame:
            return new ZorEncFrameException(function, null);
        default:
            return code >= 1 && code <= 255 ? new ZorEncStatusException((byte)code, function, null)
                                            : new ZorEncException(code, function, detail);
        }
    }
}

/// <summary>The handler is closed, its port is not open, or the port cannot be opened
/// (<c>ZORENC_ERR_NOT_OPEN</c>).</summary>
public sealed class ZorEncNotOpenException : ZorEncException {
    /// <summary>A not-open exception.</summary>
    /// <param name="function">The C function that gave it, if known.</param>
    /// <param name="detail">Further words for the message, if any.</param>
    public ZorEncNotOpenException(string? function = null, string? detail = null)
        : base(ZorEncResultCode.NotOpen, function, detail)
    {
    }
}

/// <summary>The reply's checksum did not match (<c>ZORENC_ERR_CHECKSUM</c>).</summary>
public sealed class ZorEncChecksumException : ZorEncException {
    /// <summary>A checksum exception.</summary>
    /// <param name="function">The C function that gave it, if known.</param>
    /// <param name="value">The register value as received, for a raw transaction.</param>
    public ZorEncChecksumException(string? function, uint? value)
        : base(ZorEncResultCode.Checksum, function)
    {
        Value = value;
    }

    /// <summary>The register value as received, when the call was a raw transaction
    /// (<see cref="Board.Read"/>, <see cref="Board.Write"/>, <see cref="Board.Send"/>).</summary>
    public uint? Value { get; }
}

/// <summary>A malformed reply, or 128 bytes without the terminator of
/// <see cref="Board.ReadUntil"/> (<c>ZORENC_ERR_FRAME</c>).</summary>
public sealed class ZorEncFrameException : ZorEncException {
    /// <summary>A frame exception.</summary>
    /// <param name="function">The C function that gave it, if known.</param>
    /// <param name="data">The 128 bytes a line read gathered, or null.</param>
    public ZorEncFrameException(string? function, byte[]? data)
        : base(ZorEncResultCode.Frame, function)
    {
        Gathered = data;
    }

    /// <summary>The 128 bytes <see cref="Board.ReadUntil"/> gathered without meeting its
    /// terminator; null for a malformed reply.</summary>
    public byte[]? Gathered { get; }
}

/// <summary>The board answered with a non-zero status byte (codes 1 to 255 but 0xFA).</summary>
public sealed class ZorEncStatusException : ZorEncException {
    /// <summary>A status exception.</summary>
    /// <param name="status">The status byte.</param>
    /// <param name="function">The C function that gave it, if known.</param>
    /// <param name="value">The reply's register value, for a raw transaction.</param>
    public ZorEncStatusException(byte status, string? function, uint? value)
        : base(status, function)
    {
        Value = value;
    }

    /// <summary>The board's status byte (the same as <see cref="ZorEncException.Code"/>).</summary>
    public byte Status => (byte)Code;

    /// <summary>The status byte's name, as <see cref="BoardStatus.Name"/> gives it ("unknown
    /// address"), or null.</summary>
    public string? StatusName => BoardStatus.Name(Status);

    /// <summary>The reply's register value, when the call was a raw transaction.</summary>
    public uint? Value { get; }
}

/// <summary>The port is gone, not merely silent: its device vanished (an adapter pulled out)
/// or the library closed it (a network connection that the server or the network closed, a
/// driver that gave up on the port). An <see cref="System.IO.IOException"/>, not a
/// <see cref="TimeoutException"/>: waiting longer does not help; <see cref="Board.Reopen"/>
/// opens the port again once it is back.</summary>
public sealed class ZorEncPortGoneException : System.IO.IOException, IZorEncError {
    /// <summary>A port-gone exception.</summary>
    /// <param name="code">What the call answered (<c>ZORENC_ERR_TIMEOUT</c> or
    /// <c>ZORENC_ERR_NOT_OPEN</c>).</param>
    /// <param name="function">The C function that gave it, if known.</param>
    /// <param name="port">The port's name.</param>
    public ZorEncPortGoneException(uint code, string? function, string port)
        : base(ErrorText.Format(code, function, "the port " + port + " is gone"))
    {
        Code = code;
        Function = function;
        Port = port;
    }

    /// <summary>The name of the port that is gone.</summary>
    public string Port { get; }

    /// <inheritdoc/>
    public uint Code { get; }

    /// <inheritdoc/>
    public string Name => ResultCodeTexts.Name(Code);

    /// <inheritdoc/>
    public string Meaning => ResultCodeTexts.Meaning(Code);

    /// <inheritdoc/>
    public string? Function { get; }
}

/// <summary>The board did not answer within 1000 ms (<c>ZORENC_ERR_TIMEOUT</c>); a
/// <see cref="TimeoutException"/>.</summary>
public sealed class ZorEncTimeoutException : TimeoutException, IZorEncError {
    /// <summary>A time-out.</summary>
    /// <param name="function">The C function that gave it, if known.</param>
    /// <param name="detail">Further words for the message, if any.</param>
    public ZorEncTimeoutException(string? function = null, string? detail = null)
        : base(ErrorText.Format(ZorEncResultCode.Timeout, function, detail))
    {
        Function = function;
    }

    /// <inheritdoc/>
    public uint Code => ZorEncResultCode.Timeout;

    /// <inheritdoc/>
    public string Name => ResultCodeTexts.Name(Code);

    /// <inheritdoc/>
    public string Meaning => ResultCodeTexts.Meaning(Code);

    /// <inheritdoc/>
    public string? Function { get; }
}

/// <summary>A channel (0..3), digital input (0..6) or index-trigger index (0..0xEF) out of
/// range (<c>ZORENC_ERR_CHANNEL</c>); an <see cref="ArgumentOutOfRangeException"/>, so also an
/// <see cref="ArgumentException"/>. Nothing was sent.</summary>
public sealed class ZorEncChannelException : ArgumentOutOfRangeException, IZorEncError {
    /// <summary>A channel exception.</summary>
    /// <param name="function">The C function that gave it, if known.</param>
    /// <param name="detail">Further words for the message, if any.</param>
    public ZorEncChannelException(string? function = null, string? detail = null)
        : base(null, ErrorText.Format(ZorEncResultCode.Channel, function, detail))
    {
        Function = function;
    }

    /// <summary>A channel exception for an argument, with its name and value
    /// (<see cref="ArgumentException.ParamName"/>,
    /// <see cref="ArgumentOutOfRangeException.ActualValue"/>).</summary>
    /// <param name="function">The method or C function refused.</param>
    /// <param name="paramName">The argument's name, such as <c>channel</c>.</param>
    /// <param name="actualValue">The value given.</param>
    /// <param name="detail">Further words for the message, if any.</param>
    public ZorEncChannelException(string? function, string paramName, object? actualValue,
                                  string? detail)
        : base(paramName, actualValue, ErrorText.Format(ZorEncResultCode.Channel, function, detail))
    {
        Function = function;
    }

    /// <inheritdoc/>
    public override string Message => MessageWithoutArgumentNote(base.Message, ParamName);

    // ArgumentException appends " (Parameter 'channel')" and "Actual value was 4." on lines
    // of their own; the message already says both in words, so they go on one line.
    internal static string MessageWithoutArgumentNote(string message, string? paramName)
    {
        int end = message.IndexOfAny(new[] { '\r', '\n' });
        string first = end < 0 ? message : message.Substring(0, end);
        string note = " (Parameter '" + paramName + "')";
        if (paramName != null && first.EndsWith(note, StringComparison.Ordinal)) {
            first = first.Substring(0, first.Length - note.Length);
        }
        return first;
    }

    /// <inheritdoc/>
    public uint Code => ZorEncResultCode.Channel;

    /// <inheritdoc/>
    public string Name => ResultCodeTexts.Name(Code);

    /// <inheritdoc/>
    public string Meaning => ResultCodeTexts.Meaning(Code);

    /// <inheritdoc/>
    public string? Function { get; }
}

/// <summary>A value the library cannot represent or take: NaN, too large, a count of 0...
/// (<c>ZORENC_ERR_PARAM</c>); an <see cref="ArgumentException"/>. Nothing was sent.</summary>
public sealed class ZorEncParamException : ArgumentOutOfRangeException, IZorEncError {
    /// <summary>A parameter exception.</summary>
    /// <param name="function">The C function that gave it, if known.</param>
    /// <param name="detail">Further words for the message, if any.</param>
    public ZorEncParamException(string? function = null, string? detail = null)
        : base(null, ErrorText.Format(ZorEncResultCode.Param, function, detail))
    {
        Function = function;
    }

    /// <summary>A parameter exception for an argument, with its name and value
    /// (<see cref="ArgumentException.ParamName"/>,
    /// <see cref="ArgumentOutOfRangeException.ActualValue"/>).</summary>
    /// <param name="function">The method or C function refused.</param>
    /// <param name="paramName">The argument's name, such as <c>multiplier</c>.</param>
    /// <param name="actualValue">The value given.</param>
    /// <param name="detail">Further words for the message, if any.</param>
    public ZorEncParamException(string? function, string paramName, object? actualValue,
                                string? detail)
        : base(paramName, actualValue, ErrorText.Format(ZorEncResultCode.Param, function, detail))
    {
        Function = function;
    }

    /// <inheritdoc/>
    public override string Message =>
        ZorEncChannelException.MessageWithoutArgumentNote(base.Message, ParamName);

    /// <inheritdoc/>
    public uint Code => ZorEncResultCode.Param;

    /// <inheritdoc/>
    public string Name => ResultCodeTexts.Name(Code);

    /// <inheritdoc/>
    public string Meaning => ResultCodeTexts.Meaning(Code);

    /// <inheritdoc/>
    public string? Function { get; }
}

/// <summary>A raw read ended because it was cancelled (<c>ZORENC_ERR_ABORTED</c>): its
/// <see cref="CancellationToken"/> was cancelled or its board disposed. An
/// <see cref="OperationCanceledException"/>; the bytes read so far are lost.</summary>
public sealed class ZorEncAbortedException : OperationCanceledException, IZorEncError {
    /// <summary>An aborted read.</summary>
    /// <param name="function">The C function that gave it, if known.</param>
    /// <param name="token">The token that cancelled the read.</param>
    public ZorEncAbortedException(string? function, CancellationToken token)
        : base(ErrorText.Format(ZorEncResultCode.Aborted, function, null), token)
    {
        Function = function;
    }

    /// <inheritdoc/>
    public uint Code => ZorEncResultCode.Aborted;

    /// <inheritdoc/>
    public string Name => ResultCodeTexts.Name(Code);

    /// <inheritdoc/>
    public string Meaning => ResultCodeTexts.Meaning(Code);

    /// <inheritdoc/>
    public string? Function { get; }
}

internal static class ErrorText {
    /// <summary>The message of a code: the words first ("channel 4 is not 0..3", else what
    /// the code means, with a board status by its name), then the code and the function in
    /// parentheses, for the log reader: "no reply from the board within 1000 ms
    /// (ZORENC_ERR_TIMEOUT 0xFFF9, ZorEncGetTriggerDelay)".</summary>
    internal static string Format(uint code, string? function, string? detail)
    {
        string words = Words(code);
        if (!string.IsNullOrEmpty(detail)) {
            words = detail + "; " + words;
        }
        string
            where = ResultCodeTexts.Name(code) + " 0x" + code.ToString("X4");
        if (!string.IsNullOrEmpty(function)) {
                where += ", " + function;
        }
        return Capitalized(words) + " (" +
               where + ")";
    }

    /// <summary>What a code means in words; a board status by its name.</summary>
    internal static string Words(uint code)
    {
        if (code >= 1 && code <= 255 && code != ZorEncResultCode.Checksum) {
            string? name = BoardStatus.Name((byte)code);
            return "the board refused the request with status 0x" + code.ToString("X2") +
                   (name != null ? ": " + name : "");
        }
        return ResultCodeTexts.Meaning(code);
    }

    private static string Capitalized(string text) =>
        text.Length == 0 ? text : char.ToUpperInvariant(text[0]) + text.Substring(1);
}
}
