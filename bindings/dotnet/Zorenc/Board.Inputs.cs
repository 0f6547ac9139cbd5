// Digital inputs, counters and clears.
using System;
using N = Zorenc.NativeMethods;

namespace Zorenc {
public sealed partial class Board {
    /// <summary>The states of the seven digital inputs (true: on), input 0 first.</summary>
    public bool[] GetDigitalInputs()
    {
        int i0 = 0, i1 = 0, i2 = 0, i3 = 0, i4 = 0, i5 = 0, i6 = 0;
        Do(nameof(N.ZorEncGetDI),
           h => N.ZorEncGetDI(h, out i0, out i1, out i2, out i3, out i4, out i5, out i6));
        return new[] { i0 != 0, i1 != 0, i2 != 0, i3 != 0, i4 != 0, i5 != 0, i6 != 0 };
    }

    /// <summary>The state of one digital input (true: on).</summary>
    /// <param name="input">0..6.</param>
    public bool GetDigitalInput(int input)
    {
        return Get(nameof(N.ZorEncGetDIState),
                   (IntPtr h, out int v) => N.ZorEncGetDIState(h, input, out v)) != 0;
    }

    /// <summary>The board's counter of a digital input (the simulated board counts rising edges),
    /// 0..4294967295 as the board counts, returned as an <c>int</c>.</summary>
    /// <param name="input">0..6.</param>
    public int GetDigitalInputCount(int input)
    {
        return Get(nameof(N.ZorEncGetDiCount),
                   (IntPtr h, out int v) => N.ZorEncGetDiCount(h, input, out v));
    }

    /// <summary>The triggers fired on a channel, a count (0..4294967295 as an
    /// <c>int</c>).</summary>
    /// <param name="channel">0..3.</param>
    public int GetTriggerCount(int channel)
    {
        return Get(nameof(N.ZorEncGetTriggerCount),
                   (IntPtr h, out int v) => N.ZorEncGetTriggerCount(h, channel, out v));
    }

    /// <summary>The trigger errors of a channel, a count the board keeps (0..4294967295 as an
    /// <c>int</c>).</summary>
    /// <param name="channel">0..3.</param>
    public int GetTriggerErrorCount(int channel)
    {
        return Get(nameof(N.ZorEncGetTriggerErrorCount),
                   (IntPtr h, out int v) => N.ZorEncGetTriggerErrorCount(h, channel, out v));
    }

    /// <summary>Clears every counter and encoder position.</summary>
    public void ClearAll() { Do(nameof(N.ZorEncClearAll), h => N.ZorEncClearAll(h)); }

    /// <summary>Clears every digital input's counter.</summary>
    public void ClearDigitalInputCounts()
    {
        Do(nameof(N.ZorEncClearDiAll), h => N.ZorEncClearDiAll(h));
    }

    /// <summary>Clears one digital input's counter.</summary>
    /// <param name="input">0..6.</param>
    public void ClearDigitalInputCount(int input)
    {
        Do(nameof(N.ZorEncClearDiCount), h => N.ZorEncClearDiCount(h, input));
    }

    /// <summary>Clears every trigger count.</summary>
    public void ClearTriggerCounts()
    {
        Do(nameof(N.ZorEncClearTriggerAll), h => N.ZorEncClearTriggerAll(h));
    }

    /// <summary>Clears one channel's trigger count.</summary>
    /// <param name="channel">0..3.</param>
    public void ClearTriggerCount(int channel)
    {
        Do(nameof(N.ZorEncClearTriggerCount), h => N.ZorEncClearTriggerCount(h, channel));
    }

    /// <summary>Sets every channel's position to its reset value.</summary>
    public void ClearEncoderPositions()
    {
        Do(nameof(N.ZorEncClearEncoderPositionAll), h => N.ZorEncClearEncoderPositionAll(h));
    }

    /// <summary>Sets one channel's position to its reset value.</summary>
    /// <param name="channel">0..3.</param>
    public void ClearEncoderPosition(int channel)
    {
        Do(nameof(N.ZorEncClearEncoderPosition), h => N.ZorEncClearEncoderPosition(h, channel));
    }

    /// <summary>Clears every channel's error count.</summary>
    public void ClearErrorCounts()
    {
        Do(nameof(N.ZorEncClearErrorCountAll), h => N.ZorEncClearErrorCountAll(h));
    }

    /// <summary>Clears one channel's error count.</summary>
    /// <param name="channel">0..3.</param>
    public void ClearErrorCount(int channel)
    {
        Do(nameof(N.ZorEncClearErrorCount), h => N.ZorEncClearErrorCount(h, channel));
    }
}
}
