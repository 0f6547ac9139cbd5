// Encoder channels and the board-wide settings. Each method is one library
// call (one register transaction); the units and registers are those of zorenc.h.
using System;
using N = Zorenc.NativeMethods;

namespace Zorenc {
public sealed partial class Board {
    /// <summary>Number of encoder and trigger channels (0..3).</summary>
    public const int Channels = 4;

    /// <summary>The position counter of a channel.</summary>
    /// <param name="channel">0..3.</param>
    public int GetEncoderPosition(int channel)
    {
        return Get(nameof(N.ZorEncGetEncoderPosition),
                   (IntPtr h, out int v) => N.ZorEncGetEncoderPosition(h, channel, out v));
    }

    /// <summary>A channel's position as a length: count x period / multiplier, the multiplier
    /// bounded to 8..1023.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="multiplier">The encoder's multiplier.</param>
    /// <param name="period">The length of one period.</param>
    public int GetEncoderPositionForAnalog(int channel, int multiplier, double period)
    {
        return Get(nameof(N.ZorEncGetEncoderPositionForAnalog),
                   (IntPtr h, out int v) =>
                       N.ZorEncGetEncoderPositionForAnalog(h, channel, multiplier, period, out v));
    }

    /// <summary>A channel's position in micrometres: count x period / multiplier (2 or 4, else
    /// 1).</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="multiplier">2 or 4 (others count as 1).</param>
    /// <param name="period">The length of one period in micrometres.</param>
    public int GetEncoderPositionMicrometer(int channel, int multiplier, double period)
    {
        return Get(nameof(N.ZorEncGetEncoderPositionMicrometer),
                   (IntPtr h, out int v) =>
                       N.ZorEncGetEncoderPositionMicrometer(h, channel, multiplier, period, out v));
    }

    /// <summary>A channel's counting direction (raw; the board counts up at 0).</summary>
    /// <param name="channel">0..3.</param>
    public int GetEncoderDirection(int channel)
    {
        return Get(nameof(N.ZorEncGetEncoderDirection),
                   (IntPtr h, out int v) => N.ZorEncGetEncoderDirection(h, channel, out v));
    }

    /// <summary>Sets a channel's counting direction (raw).</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="direction">The raw value.</param>
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
    /// <param name="inversion">The raw value.</param>
    public void SetEncoderInversion(int channel, int inversion)
    {
        Do(nameof(N.ZorEncSetEncoderInversion),
           h => N.ZorEncSetEncoderInversion(h, channel, inversion));
    }

    /// <summary>A channel's multiplier for analog encoders (raw).</summary>
    /// <param name="channel">0..3.</param>
    public int GetEncoderMultiForAnalog(int channel)
    {
        return Get(nameof(N.ZorEncGetEncoderMultiForAnalog),
                   (IntPtr h, out int v) => N.ZorEncGetEncoderMultiForAnalog(h, channel, out v));
    }

    /// <summary>Sets a channel's multiplier for analog encoders (raw).</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="multiplier">The raw value.</param>
    public void SetEncoderMultiForAnalog(int channel, int multiplier)
    {
        Do(nameof(N.ZorEncSetEncoderMultiForAnalog),
           h => N.ZorEncSetEncoderMultiForAnalog(h, channel, multiplier));
    }

    /// <summary>The value a channel's position counter is reset to.</summary>
    /// <param name="channel">0..3.</param>
    public int GetEncoderResetValue(int channel)
    {
        return Get(nameof(N.ZorEncGetEncoderResetValue),
                   (IntPtr h, out int v) => N.ZorEncGetEncoderResetValue(h, channel, out v));
    }

    /// <summary>Sets the value a channel's position counter is reset to.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="value">The reset value.</param>
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

    /// <summary>The encoder resolution (three decimals).</summary>
    public double GetEncoderResolution()
    {
        return Get(nameof(N.ZorEncGetEncoderResolution),
                   (IntPtr h, out double v) => N.ZorEncGetEncoderResolution(h, out v));
    }

    /// <summary>Sets the encoder resolution, 0 &lt;= resolution &lt; 4294967.296, truncated to
    /// thousandths as written: 1.005 stores 1005 thousandths.</summary>
    /// <param name="resolution">The resolution.</param>
    /// <exception cref="ZorEncParamException">Negative, too large, NaN or infinite.</exception>
    public void SetEncoderResolution(double resolution)
    {
        double value = ExactDecimal.ForLibrary(resolution, 1000);
        Do(nameof(N.ZorEncSetEncoderResolution), h => N.ZorEncSetEncoderResolution(h, value));
    }

    /// <summary>The firmware version (such as 1.5).</summary>
    public double GetFirmwareVersion()
    {
        return Get(nameof(N.ZorEncGetFirmwareVersion),
                   (IntPtr h, out double v) => N.ZorEncGetFirmwareVersion(h, out v));
    }

    /// <summary>The logic version.</summary>
    public double GetLogicVersion()
    {
        return Get(nameof(N.ZorEncGetLogicVersion),
                   (IntPtr h, out double v) => N.ZorEncGetLogicVersion(h, out v));
    }

    /// <summary>The positive run.</summary>
    public int GetPositiveRun()
    {
        return Get(nameof(N.ZorEncGetPositiveRun),
                   (IntPtr h, out int v) => N.ZorEncGetPositiveRun(h, out v));
    }

    /// <summary>Sets the positive run.</summary>
    /// <param name="run">The raw value.</param>
    public void SetPositiveRun(int run)
    {
        Do(nameof(N.ZorEncSetPositiveRun), h => N.ZorEncSetPositiveRun(h, run));
    }

    /// <summary>The negative run.</summary>
    public int GetNegativeRun()
    {
        return Get(nameof(N.ZorEncGetNegativeRun),
                   (IntPtr h, out int v) => N.ZorEncGetNegativeRun(h, out v));
    }

    /// <summary>Sets the negative run.</summary>
    /// <param name="run">The raw value.</param>
    public void SetNegativeRun(int run)
    {
        Do(nameof(N.ZorEncSetNegativeRun), h => N.ZorEncSetNegativeRun(h, run));
    }

    /// <summary>The trigger mode (raw).</summary>
    public int GetTrgMode()
    {
        return Get(nameof(N.ZorEncGetTrgMode),
                   (IntPtr h, out int v) => N.ZorEncGetTrgMode(h, out v));
    }

    /// <summary>Sets the trigger mode (raw).</summary>
    /// <param name="mode">The raw value.</param>
    public void SetTrgMode(int mode)
    {
        Do(nameof(N.ZorEncSetTrgMode), h => N.ZorEncSetTrgMode(h, mode));
    }

    /// <summary>A channel's virtual-encoder frequency (raw).</summary>
    /// <param name="channel">0..3.</param>
    public int GetVirtualEncoderFrequency(int channel)
    {
        return Get(nameof(N.ZorEncGetVirtualEncoderFrequency),
                   (IntPtr h, out int v) => N.ZorEncGetVirtualEncoderFrequency(h, channel, out v));
    }

    /// <summary>Sets a channel's virtual-encoder frequency (raw).</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="frequency">The raw value.</param>
    public void SetVirtualEncoderFrequency(int channel, int frequency)
    {
        Do(nameof(N.ZorEncSetVirtualEncoderFrequency),
           h => N.ZorEncSetVirtualEncoderFrequency(h, channel, frequency));
    }

    /// <summary>Loads the default parameters.</summary>
    public void LoadDefaultParameters()
    {
        Do(nameof(N.ZorEncLoadDefaultParameters), h => N.ZorEncLoadDefaultParameters(h));
    }

    /// <summary>Saves the settings to flash.</summary>
    public void SaveFlash() { Do(nameof(N.ZorEncSaveFlash), h => N.ZorEncSaveFlash(h)); }

    /// <summary>Loads the settings from flash.</summary>
    public void LoadFlash() { Do(nameof(N.ZorEncLoadFlash), h => N.ZorEncLoadFlash(h)); }
}
}
