// Encoder channels and the board-wide settings. Each method is one library
// call (one register transaction); the units and registers are those of zorenc.h.
using System;
using N = Zorenc.NativeMethods;

namespace Zorenc {
public sealed partial class Board {
    /// <summary>The channel's position counter, in counts (the whole <c>int</c> range).</summary>
    /// <param name="channel">0..3.</param>
    public int GetEncoderPosition(int channel)
    {
        return Get(nameof(N.ZorEncGetEncoderPosition),
                   (IntPtr h, out int v) => N.ZorEncGetEncoderPosition(h, channel, out v));
    }

    /// <summary>The position of an analog encoder as a length in the unit of
    /// <paramref name="period"/>: count x period / multiplier, the multiplier held to 8..1023,
    /// truncated toward zero.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="multiplier">The number of counts that make one period (held to
    /// 8..1023).</param>
    /// <param name="period">The length of multiplier counts.</param>
    public int GetEncoderPositionForAnalog(int channel, int multiplier, double period)
    {
        return Get(nameof(N.ZorEncGetEncoderPositionForAnalog),
                   (IntPtr h, out int v) =>
                       N.ZorEncGetEncoderPositionForAnalog(h, channel, multiplier, period, out v));
    }

    /// <summary>The position in micrometres: count x period / multiplier, truncated toward
    /// zero.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="multiplier">The number of counts that make one period: 2 or 4 (any other
    /// counts as 1).</param>
    /// <param name="period">The micrometres of multiplier counts.</param>
    public int GetEncoderPositionMicrometer(int channel, int multiplier, double period)
    {
        return Get(nameof(N.ZorEncGetEncoderPositionMicrometer),
                   (IntPtr h, out int v) =>
                       N.ZorEncGetEncoderPositionMicrometer(h, channel, multiplier, period, out v));
    }

    /// <summary>A channel's counting direction: 0 counts up; other values are the board's (the
    /// simulated board counts down). The register of the inversion too.</summary>
    /// <param name="channel">0..3.</param>
    public int GetEncoderDirection(int channel)
    {
        return Get(nameof(N.ZorEncGetEncoderDirection),
                   (IntPtr h, out int v) => N.ZorEncGetEncoderDirection(h, channel, out v));
    }

    /// <summary>Sets a channel's counting direction.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="direction">Any 32-bit value; 0 counts up.</param>
    public void SetEncoderDirection(int channel, int direction)
    {
        Do(nameof(N.ZorEncSetEncoderDirection),
           h => N.ZorEncSetEncoderDirection(h, channel, direction));
    }

    /// <summary>A channel's inversion: the direction register under another name.</summary>
    /// <param name="channel">0..3.</param>
    public int GetEncoderInversion(int channel)
    {
        return Get(nameof(N.ZorEncGetEncoderInversion),
                   (IntPtr h, out int v) => N.ZorEncGetEncoderInversion(h, channel, out v));
    }

    /// <summary>Sets a channel's inversion (writes the direction register).</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="inversion">Any 32-bit value, as the direction.</param>
    public void SetEncoderInversion(int channel, int inversion)
    {
        Do(nameof(N.ZorEncSetEncoderInversion),
           h => N.ZorEncSetEncoderInversion(h, channel, inversion));
    }

    /// <summary>A channel's multiplier for analog encoders, a whole number of the board's,
    /// 0..int.MaxValue.</summary>
    /// <param name="channel">0..3.</param>
    public int GetEncoderMultiForAnalog(int channel)
    {
        return Get(nameof(N.ZorEncGetEncoderMultiForAnalog),
                   (IntPtr h, out int v) => N.ZorEncGetEncoderMultiForAnalog(h, channel, out v));
    }

    /// <summary>Sets a channel's multiplier for analog encoders.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="multiplier">0..int.MaxValue.</param>
    /// <exception cref="ZorEncParamException">A negative multiplier; nothing is sent.</exception>
    public void SetEncoderMultiForAnalog(int channel, int multiplier)
    {
        ValueRanges.Check("encoder-multi-for-analog", "MULTIPLIER", multiplier,
                          nameof(N.ZorEncSetEncoderMultiForAnalog));
        Do(nameof(N.ZorEncSetEncoderMultiForAnalog),
           h => N.ZorEncSetEncoderMultiForAnalog(h, channel, multiplier));
    }

    /// <summary>The position, in counts, that a clear of a channel's position counter
    /// sets.</summary>
    /// <param name="channel">0..3.</param>
    public int GetEncoderResetValue(int channel)
    {
        return Get(nameof(N.ZorEncGetEncoderResetValue),
                   (IntPtr h, out int v) => N.ZorEncGetEncoderResetValue(h, channel, out v));
    }

    /// <summary>Sets the position, in counts, that a clear of a channel's position counter
    /// sets.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="value">The position, in counts (the whole <c>int</c> range).</param>
    public void SetEncoderResetValue(int channel, int value)
    {
        Do(nameof(N.ZorEncSetEncoderResetValue),
           h => N.ZorEncSetEncoderResetValue(h, channel, value));
    }

    /// <summary>Starts a channel's calibration.</summary>
    /// <param name="channel">0..3.</param>
    public void StartCalibration(int channel)
    {
        Do(nameof(N.ZorEncStartCalibration), h => N.ZorEncStartCalibration(h, channel));
    }

    /// <summary>Stops a channel's calibration.</summary>
    /// <param name="channel">0..3.</param>
    public void StopCalibration(int channel)
    {
        Do(nameof(N.ZorEncStopCalibration), h => N.ZorEncStopCalibration(h, channel));
    }

    // ---- board-wide settings and maintenance ----

    /// <summary>The encoder resolution, in the board's unit, to three decimal places (kept in
    /// thousandths), 0..4294967.295.</summary>
    public double GetEncoderResolution()
    {
        return Get(nameof(N.ZorEncGetEncoderResolution),
                   (IntPtr h, out double v) => N.ZorEncGetEncoderResolution(h, out v));
    }

    /// <summary>Sets the encoder resolution, in the board's unit, 0..4294967.295, kept in
    /// thousandths: the decimal as written, cut to three places (1.005 stores 1005
    /// thousandths, 1.0005 stores 1000).</summary>
    /// <param name="resolution">The resolution, in the board's unit.</param>
    /// <exception cref="ZorEncParamException">Negative, too large, NaN or infinite.</exception>
    public void SetEncoderResolution(double resolution)
    {
        double value = ExactDecimal.ForLibrary(resolution, 1000);
        Do(nameof(N.ZorEncSetEncoderResolution), h => N.ZorEncSetEncoderResolution(h, value));
    }

    /// <summary>The firmware version, two decimal places (such as 1.5), 0..655.35.</summary>
    public double GetFirmwareVersion()
    {
        return Get(nameof(N.ZorEncGetFirmwareVersion),
                   (IntPtr h, out double v) => N.ZorEncGetFirmwareVersion(h, out v));
    }

    /// <summary>The logic version, two decimal places, 0..42949672.95.</summary>
    public double GetLogicVersion()
    {
        return Get(nameof(N.ZorEncGetLogicVersion),
                   (IntPtr h, out double v) => N.ZorEncGetLogicVersion(h, out v));
    }

    /// <summary>The positive run, in the board's unit: a 32-bit value the board gives its
    /// meaning, passed through unchanged.</summary>
    public int GetPositiveRun()
    {
        return Get(nameof(N.ZorEncGetPositiveRun),
                   (IntPtr h, out int v) => N.ZorEncGetPositiveRun(h, out v));
    }

    /// <summary>Sets the positive run.</summary>
    /// <param name="run">Any 32-bit value, in the board's unit.</param>
    public void SetPositiveRun(int run)
    {
        Do(nameof(N.ZorEncSetPositiveRun), h => N.ZorEncSetPositiveRun(h, run));
    }

    /// <summary>The negative run, in the board's unit: a 32-bit value the board gives its
    /// meaning, passed through unchanged.</summary>
    public int GetNegativeRun()
    {
        return Get(nameof(N.ZorEncGetNegativeRun),
                   (IntPtr h, out int v) => N.ZorEncGetNegativeRun(h, out v));
    }

    /// <summary>Sets the negative run.</summary>
    /// <param name="run">Any 32-bit value, in the board's unit.</param>
    public void SetNegativeRun(int run)
    {
        Do(nameof(N.ZorEncSetNegativeRun), h => N.ZorEncSetNegativeRun(h, run));
    }

    /// <summary>The board's trigger mode, a code the board defines (passed through
    /// unchanged).</summary>
    public int GetTrgMode()
    {
        return Get(nameof(N.ZorEncGetTrgMode),
                   (IntPtr h, out int v) => N.ZorEncGetTrgMode(h, out v));
    }

    /// <summary>Sets the board's trigger mode.</summary>
    /// <param name="mode">Any 32-bit value.</param>
    public void SetTrgMode(int mode)
    {
        Do(nameof(N.ZorEncSetTrgMode), h => N.ZorEncSetTrgMode(h, mode));
    }

    /// <summary>The frequency of a channel's virtual encoder, in the board's unit (the simulated
    /// board counts this many per second), 0..int.MaxValue; 0 stops it.</summary>
    /// <param name="channel">0..3.</param>
    public int GetVirtualEncoderFrequency(int channel)
    {
        return Get(nameof(N.ZorEncGetVirtualEncoderFrequency),
                   (IntPtr h, out int v) => N.ZorEncGetVirtualEncoderFrequency(h, channel, out v));
    }

    /// <summary>Sets the frequency of a channel's virtual encoder.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="frequency">0..int.MaxValue, in the board's unit; 0 stops it.</param>
    /// <exception cref="ZorEncParamException">A negative frequency; nothing is sent.</exception>
    public void SetVirtualEncoderFrequency(int channel, int frequency)
    {
        ValueRanges.Check("virtual-encoder-frequency", "FREQUENCY", frequency,
                          nameof(N.ZorEncSetVirtualEncoderFrequency));
        Do(nameof(N.ZorEncSetVirtualEncoderFrequency),
           h => N.ZorEncSetVirtualEncoderFrequency(h, channel, frequency));
    }

    /// <summary>The board's default settings replace those in use (not saved).</summary>
    public void LoadDefaultParameters()
    {
        Do(nameof(N.ZorEncLoadDefaultParameters), h => N.ZorEncLoadDefaultParameters(h));
    }

    /// <summary>The board keeps its settings in use across power cycles.</summary>
    public void SaveFlash() { Do(nameof(N.ZorEncSaveFlash), h => N.ZorEncSaveFlash(h)); }

    /// <summary>The settings saved last replace those in use.</summary>
    public void LoadFlash() { Do(nameof(N.ZorEncLoadFlash), h => N.ZorEncLoadFlash(h)); }
}
}
