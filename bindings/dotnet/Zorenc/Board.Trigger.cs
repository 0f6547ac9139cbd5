// Trigger channels.
using System;
using N = Zorenc.NativeMethods;

namespace Zorenc {
public sealed partial class Board {
    /// <summary>The control word of a trigger channel.</summary>
    /// <param name="channel">0..3.</param>
    public TriggerControls GetTriggerControls(int channel)
    {
        return Get(nameof(N.ZorEncGetTriggerControls),
                   (IntPtr h, out TriggerControls v) =>
                       N.ZorEncGetTriggerControls(h, channel, out v));
    }

    /// <summary>Writes a trigger channel's control word as given.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="controls">The word (<c>new TriggerControls(0x4300F02F)</c>, or its fields set
    /// one by one).</param>
    public void SetTriggerControls(int channel, TriggerControls controls)
    {
        Do(nameof(N.ZorEncSetTriggerControls),
           h => N.ZorEncSetTriggerControls(h, channel, ref controls));
    }

    /// <summary>Writes a control word packed by the library field by field: each nibble from the
    /// low 4 bits of its argument, nibble 2 as 1 for a code of 2, 2 for 4 and 0 otherwise, bit30
    /// and bit31 from their low bit.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="nibble0">Bits 0-3.</param>
    /// <param name="nibble1">Bits 4-7.</param>
    /// <param name="nibble2Code">2 or 4 (bits 8-11 become 1 or 2), else 0.</param>
    /// <param name="nibble3">Bits 12-15.</param>
    /// <param name="nibble4">Bits 16-19.</param>
    /// <param name="nibble5">Bits 20-23.</param>
    /// <param name="nibble6">Bits 24-27.</param>
    /// <param name="bit30">Bit 30.</param>
    /// <param name="bit31">Bit 31.</param>
    public void SetTriggerControlsEachTrigger(int channel, int nibble0 = 0, int nibble1 = 0,
                                              int nibble2Code = 0, int nibble3 = 0, int nibble4 = 0,
                                              int nibble5 = 0, int nibble6 = 0, int bit30 = 0,
                                              int bit31 = 0)
    {
        Do(nameof(N.ZorEncSetTriggerControlsEachTrigger),
           h => N.ZorEncSetTriggerControlsEachTrigger(h, channel, nibble0, nibble1, nibble2Code,
                                                      nibble3, nibble4, nibble5, nibble6, bit30,
                                                      bit31));
    }

    /// <summary>A trigger channel's generator as its two halves, 0..0xFFFF each.</summary>
    /// <param name="channel">0..3.</param>
    public (int Upper, int Lower) GetTriggerGenerator(int channel)
    {
        int upper = 0, lower = 0;
        Do(nameof(N.ZorEncGetTriggerGenerator),
           h => N.ZorEncGetTriggerGenerator(h, channel, out upper, out lower));
        return (upper, lower);
    }

    /// <summary>Sets a trigger channel's generator from its two halves.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="upper">The upper half, 0..0xFFFF.</param>
    /// <param name="lower">The lower half, 0..0xFFFF.</param>
    /// <exception cref="ZorEncParamException">A half out of 0..0xFFFF.</exception>
    public void SetTriggerGenerator(int channel, int upper, int lower)
    {
        Do(nameof(N.ZorEncSetTriggerGenerator),
           h => N.ZorEncSetTriggerGenerator(h, channel, upper, lower));
    }

    /// <summary>A trigger channel's generator register as one raw word.</summary>
    /// <param name="channel">0..3.</param>
    public int GetTriggerGeneratorRoll(int channel)
    {
        return Get(nameof(N.ZorEncGetTriggerGeneratorRoll),
                   (IntPtr h, out int v) => N.ZorEncGetTriggerGeneratorRoll(h, channel, out v));
    }

    /// <summary>Sets a trigger channel's generator register as one raw word.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="value">The word.</param>
    public void SetTriggerGeneratorRoll(int channel, int value)
    {
        Do(nameof(N.ZorEncSetTriggerGeneratorRoll),
           h => N.ZorEncSetTriggerGeneratorRoll(h, channel, value));
    }

    /// <summary>A trigger channel's output mode (raw).</summary>
    /// <param name="channel">0..3.</param>
    public int GetTriggerOutputMode(int channel)
    {
        return Get(nameof(N.ZorEncGetTriggerOutputMode),
                   (IntPtr h, out int v) => N.ZorEncGetTriggerOutputMode(h, channel, out v));
    }

    /// <summary>Sets a trigger channel's output mode (raw).</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="mode">The raw value.</param>
    public void SetTriggerOutputMode(int channel, int mode)
    {
        Do(nameof(N.ZorEncSetTriggerOutputMode),
           h => N.ZorEncSetTriggerOutputMode(h, channel, mode));
    }

    /// <summary>A trigger channel's position 0, in counts.</summary>
    /// <param name="channel">0..3.</param>
    public int GetTriggerPosition0(int channel)
    {
        return Get(nameof(N.ZorEncGetTriggerPosition0),
                   (IntPtr h, out int v) => N.ZorEncGetTriggerPosition0(h, channel, out v));
    }

    /// <summary>Sets a trigger channel's position 0, in counts.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="position">The position.</param>
    public void SetTriggerPosition0(int channel, int position)
    {
        Do(nameof(N.ZorEncSetTriggerPosition0),
           h => N.ZorEncSetTriggerPosition0(h, channel, position));
    }

    /// <summary>A trigger channel's position 1, in counts.</summary>
    /// <param name="channel">0..3.</param>
    public int GetTriggerPosition1(int channel)
    {
        return Get(nameof(N.ZorEncGetTriggerPosition1),
                   (IntPtr h, out int v) => N.ZorEncGetTriggerPosition1(h, channel, out v));
    }

    /// <summary>Sets a trigger channel's position 1, in counts.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="position">The position.</param>
    public void SetTriggerPosition1(int channel, int position)
    {
        Do(nameof(N.ZorEncSetTriggerPosition1),
           h => N.ZorEncSetTriggerPosition1(h, channel, position));
    }

    /// <summary>Sets trigger position 0 from micrometres (position x multiplier / period counts),
    /// or from counts when convert is false.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="position">The position in micrometres (or counts).</param>
    /// <param name="multiplier">The encoder's multiplier.</param>
    /// <param name="period">The length of one period in micrometres.</param>
    /// <param name="convert">Whether position is in micrometres.</param>
    public void SetTriggerPositionMicrometer0(int channel, int position, int multiplier,
                                              double period, bool convert = true)
    {
        Do(nameof(N.ZorEncSetTriggerPositionMicrometer0),
           h => N.ZorEncSetTriggerPositionMicrometer0(h, channel, position, multiplier, period,
                                                      convert ? 1 : 0));
    }

    /// <summary>Sets trigger position 1 as <see cref="SetTriggerPositionMicrometer0"/> sets
    /// 0.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="position">The position in micrometres (or counts).</param>
    /// <param name="multiplier">The encoder's multiplier.</param>
    /// <param name="period">The length of one period in micrometres.</param>
    /// <param name="convert">Whether position is in micrometres.</param>
    public void SetTriggerPositionMicrometer1(int channel, int position, int multiplier,
                                              double period, bool convert = true)
    {
        Do(nameof(N.ZorEncSetTriggerPositionMicrometer1),
           h => N.ZorEncSetTriggerPositionMicrometer1(h, channel, position, multiplier, period,
                                                      convert ? 1 : 0));
    }

    /// <summary>A trigger channel's pulse width (hundredths).</summary>
    /// <param name="channel">0..3.</param>
    public double GetTriggerPulseWidth(int channel)
    {
        double width = 0;
        // This one function gives its result code as a double.
        double result = Invoke(h => N.ZorEncGetTriggerPulseWidth(h, channel, out width));
        if (result != 0) {
            throw ZorEncException.For((uint)result, nameof(N.ZorEncGetTriggerPulseWidth));
        }
        return width;
    }

    /// <summary>Sets a trigger channel's pulse width, truncated to hundredths as written (0.29
    /// stores 29 hundredths).</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="width">The width.</param>
    /// <exception cref="ZorEncParamException">Out of the register's range, NaN or
    /// infinite.</exception>
    public void SetTriggerPulseWidth(int channel, double width)
    {
        double value = ExactDecimal.ForLibrary(width, 100);
        Do(nameof(N.ZorEncSetTriggerPulseWidth),
           h => N.ZorEncSetTriggerPulseWidth(h, channel, value));
    }

    /// <summary>A trigger channel's delay (hundredths).</summary>
    /// <param name="channel">0..3.</param>
    public double GetTriggerDelay(int channel)
    {
        return Get(nameof(N.ZorEncGetTriggerDelay),
                   (IntPtr h, out double v) => N.ZorEncGetTriggerDelay(h, channel, out v));
    }

    /// <summary>Sets a trigger channel's delay, truncated to hundredths as written (0.29 stores
    /// 29 hundredths, -1.239 stores -123).</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="delay">The delay.</param>
    /// <exception cref="ZorEncParamException">Out of the register's range, NaN or
    /// infinite.</exception>
    public void SetTriggerDelay(int channel, double delay)
    {
        double value = ExactDecimal.ForLibrary(delay, 100);
        Do(nameof(N.ZorEncSetTriggerDelay), h => N.ZorEncSetTriggerDelay(h, channel, value));
    }

    /// <summary>A trigger channel's last index-trigger index.</summary>
    /// <param name="channel">0..3.</param>
    public int GetIndexTriggerLastIndex(int channel)
    {
        return Get(nameof(N.ZorEncGetIndexTriggerLastIndex),
                   (IntPtr h, out int v) => N.ZorEncGetIndexTriggerLastIndex(h, channel, out v));
    }

    /// <summary>Sets a trigger channel's last index-trigger index.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="lastIndex">The index.</param>
    public void SetIndexTriggerLastIndex(int channel, int lastIndex)
    {
        Do(nameof(N.ZorEncSetIndexTriggerLastIndex),
           h => N.ZorEncSetIndexTriggerLastIndex(h, channel, lastIndex));
    }

    /// <summary>The position of an index trigger of a channel.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="index">0..0xEF.</param>
    public int GetIndexTriggerPosition(int channel, int index)
    {
        return Get(nameof(N.ZorEncGetIndexTriggerPosition),
                   (IntPtr h, out int v) =>
                       N.ZorEncGetIndexTriggerPosition(h, channel, index, out v));
    }

    /// <summary>Sets the position of an index trigger of a channel.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="index">0..0xEF.</param>
    /// <param name="position">The position.</param>
    public void SetIndexTriggerPosition(int channel, int index, int position)
    {
        Do(nameof(N.ZorEncSetIndexTriggerPosition),
           h => N.ZorEncSetIndexTriggerPosition(h, channel, index, position));
    }
}
}
