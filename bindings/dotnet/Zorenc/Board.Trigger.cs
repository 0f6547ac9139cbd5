// Trigger channels.
using System;
using N = Zorenc.NativeMethods;

namespace Zorenc {
public sealed partial class Board {
    /// <summary>The control word of a trigger channel: nibbles 0-6 and bits 30 and 31, whose
    /// meanings the board defines.</summary>
    /// <param name="channel">0..3.</param>
    public TriggerControls GetTriggerControls(int channel)
    {
        Require.Channel(channel);
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
        Require.Channel(channel);
        Do(nameof(N.ZorEncSetTriggerControls),
           h => N.ZorEncSetTriggerControls(h, channel, ref controls));
    }

    /// <summary>Writes a control word packed by the library field by field: nibble 2 as 1 for
    /// a code of 2, 2 for 4 and 0 for any other code.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="nibble0">Bits 0-3, 0..15.</param>
    /// <param name="nibble1">Bits 4-7, 0..15.</param>
    /// <param name="nibble2Code">0..15: 2 or 4 make bits 8-11 1 or 2, any other 0.</param>
    /// <param name="nibble3">Bits 12-15, 0..15.</param>
    /// <param name="nibble4">Bits 16-19, 0..15.</param>
    /// <param name="nibble5">Bits 20-23, 0..15.</param>
    /// <param name="nibble6">Bits 24-27, 0..15.</param>
    /// <param name="bit30">Bit 30, 0 or 1.</param>
    /// <param name="bit31">Bit 31, 0 or 1.</param>
    /// <exception cref="ZorEncParamException">A field out of its range; nothing is
    /// sent.</exception>
    public void SetTriggerControlsEachTrigger(int channel, int nibble0 = 0, int nibble1 = 0,
                                              int nibble2Code = 0, int nibble3 = 0, int nibble4 = 0,
                                              int nibble5 = 0, int nibble6 = 0, int bit30 = 0,
                                              int bit31 = 0)
    {
        Require.Channel(channel);
        string function = nameof(N.ZorEncSetTriggerControlsEachTrigger);
        string[] names = { "N0", "N1", "N2CODE", "N3", "N4", "N5", "N6", "BIT30", "BIT31" };
        string[] parameters = { nameof(nibble0), nameof(nibble1), nameof(nibble2Code),
                                nameof(nibble3), nameof(nibble4), nameof(nibble5),
                                nameof(nibble6), nameof(bit30),   nameof(bit31) };
        int[] fields = { nibble0, nibble1, nibble2Code, nibble3, nibble4,
                         nibble5, nibble6, bit30,       bit31 };
        for (int i = 0; i < names.Length; i++) {
            ValueRanges.Check("trigger-controls", names[i], fields[i], function, parameters[i]);
        }
        Do(nameof(N.ZorEncSetTriggerControlsEachTrigger),
           h => N.ZorEncSetTriggerControlsEachTrigger(h, channel, nibble0, nibble1, nibble2Code,
                                                      nibble3, nibble4, nibble5, nibble6, bit30,
                                                      bit31));
    }

    /// <summary>A trigger channel's generator as its upper (bits 16-31) and lower (bits 0-15)
    /// halves, 0..0xFFFF each, values the board defines.</summary>
    /// <param name="channel">0..3.</param>
    public (int Upper, int Lower) GetTriggerGenerator(int channel)
    {
        Require.Channel(channel);
        int upper = 0, lower = 0;
        Do(nameof(N.ZorEncGetTriggerGenerator),
           h => N.ZorEncGetTriggerGenerator(h, channel, out upper, out lower));
        return (upper, lower);
    }

    /// <summary>Sets a trigger channel's generator from its two halves.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="upper">The upper half, 0..0xFFFF.</param>
    /// <param name="lower">The lower half, 0..0xFFFF.</param>
    /// <exception cref="ZorEncParamException">A half out of 0..0xFFFF; nothing is
    /// sent.</exception>
    public void SetTriggerGenerator(int channel, int upper, int lower)
    {
        Require.Channel(channel);
        string function = nameof(N.ZorEncSetTriggerGenerator);
        ValueRanges.Check("trigger-generator", "UPPER", upper, function);
        ValueRanges.Check("trigger-generator", "LOWER", lower, function);
        Do(nameof(N.ZorEncSetTriggerGenerator),
           h => N.ZorEncSetTriggerGenerator(h, channel, upper, lower));
    }

    /// <summary>A trigger channel's generator register as one 32-bit word.</summary>
    /// <param name="channel">0..3.</param>
    public int GetTriggerGeneratorRoll(int channel)
    {
        Require.Channel(channel);
        return Get(nameof(N.ZorEncGetTriggerGeneratorRoll),
                   (IntPtr h, out int v) => N.ZorEncGetTriggerGeneratorRoll(h, channel, out v));
    }

    /// <summary>Sets a trigger channel's generator register as one 32-bit word.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="value">Any 32-bit value.</param>
    public void SetTriggerGeneratorRoll(int channel, int value)
    {
        Require.Channel(channel);
        Do(nameof(N.ZorEncSetTriggerGeneratorRoll),
           h => N.ZorEncSetTriggerGeneratorRoll(h, channel, value));
    }

    /// <summary>A trigger channel's output mode, a code the board defines (passed through
    /// unchanged).</summary>
    /// <param name="channel">0..3.</param>
    public int GetTriggerOutputMode(int channel)
    {
        Require.Channel(channel);
        return Get(nameof(N.ZorEncGetTriggerOutputMode),
                   (IntPtr h, out int v) => N.ZorEncGetTriggerOutputMode(h, channel, out v));
    }

    /// <summary>Sets a trigger channel's output mode.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="mode">Any 32-bit value.</param>
    public void SetTriggerOutputMode(int channel, int mode)
    {
        Require.Channel(channel);
        Do(nameof(N.ZorEncSetTriggerOutputMode),
           h => N.ZorEncSetTriggerOutputMode(h, channel, mode));
    }

    /// <summary>A trigger channel's first trigger position, in counts of its encoder.</summary>
    /// <param name="channel">0..3.</param>
    public int GetTriggerPosition0(int channel)
    {
        Require.Channel(channel);
        return Get(nameof(N.ZorEncGetTriggerPosition0),
                   (IntPtr h, out int v) => N.ZorEncGetTriggerPosition0(h, channel, out v));
    }

    /// <summary>Sets a trigger channel's first trigger position.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="position">In counts (the whole <c>int</c> range).</param>
    public void SetTriggerPosition0(int channel, int position)
    {
        Require.Channel(channel);
        Do(nameof(N.ZorEncSetTriggerPosition0),
           h => N.ZorEncSetTriggerPosition0(h, channel, position));
    }

    /// <summary>A trigger channel's second trigger position, in counts of its encoder.</summary>
    /// <param name="channel">0..3.</param>
    public int GetTriggerPosition1(int channel)
    {
        Require.Channel(channel);
        return Get(nameof(N.ZorEncGetTriggerPosition1),
                   (IntPtr h, out int v) => N.ZorEncGetTriggerPosition1(h, channel, out v));
    }

    /// <summary>Sets a trigger channel's second trigger position.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="position">In counts (the whole <c>int</c> range).</param>
    public void SetTriggerPosition1(int channel, int position)
    {
        Require.Channel(channel);
        Do(nameof(N.ZorEncSetTriggerPosition1),
           h => N.ZorEncSetTriggerPosition1(h, channel, position));
    }

    /// <summary>Sets trigger position 0 from micrometres (position x multiplier / period counts,
    /// truncated toward zero), or from counts when convert is false.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="position">The position in micrometres (or counts).</param>
    /// <param name="multiplier">The number of counts that make one period.</param>
    /// <param name="period">The micrometres of multiplier counts; not 0.</param>
    /// <param name="convert">Whether position is in micrometres.</param>
    public void SetTriggerPositionMicrometer0(int channel, int position, int multiplier,
                                              double period, bool convert = true)
    {
        Require.Channel(channel);
        Do(nameof(N.ZorEncSetTriggerPositionMicrometer0),
           h => N.ZorEncSetTriggerPositionMicrometer0(h, channel, position, multiplier, period,
                                                      convert ? 1 : 0));
    }

    /// <summary>Sets trigger position 1 as <see cref="SetTriggerPositionMicrometer0"/> sets
    /// 0.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="position">The position in micrometres (or counts).</param>
    /// <param name="multiplier">The number of counts that make one period.</param>
    /// <param name="period">The micrometres of multiplier counts; not 0.</param>
    /// <param name="convert">Whether position is in micrometres.</param>
    public void SetTriggerPositionMicrometer1(int channel, int position, int multiplier,
                                              double period, bool convert = true)
    {
        Require.Channel(channel);
        Do(nameof(N.ZorEncSetTriggerPositionMicrometer1),
           h => N.ZorEncSetTriggerPositionMicrometer1(h, channel, position, multiplier, period,
                                                      convert ? 1 : 0));
    }

    /// <summary>A trigger channel's pulse width, in the board's unit, to two decimal places
    /// (kept in hundredths: 150 hundredths read as 1.5), -21474836.47..21474836.47.</summary>
    /// <param name="channel">0..3.</param>
    public double GetTriggerPulseWidth(int channel)
    {
        Require.Channel(channel);
        double width = 0;
        // This one function gives its result code as a double.
        double result = Invoke(h => N.ZorEncGetTriggerPulseWidth(h, channel, out width));
        if (result != 0) {
            throw Failure((uint)result, nameof(N.ZorEncGetTriggerPulseWidth));
        }
        return width;
    }

    /// <summary>Sets a trigger channel's pulse width, kept in hundredths: the decimal as
    /// written, cut to two places (0.29 stores 29 hundredths, 0.299 also 29).</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="width">In the board's unit, -21474836.47..21474836.47.</param>
    /// <exception cref="ZorEncParamException">Out of the register's range, NaN or
    /// infinite.</exception>
    public void SetTriggerPulseWidth(int channel, double width)
    {
        Require.Channel(channel);
        double value = ExactDecimal.ForLibrary(width, 100);
        Do(nameof(N.ZorEncSetTriggerPulseWidth),
           h => N.ZorEncSetTriggerPulseWidth(h, channel, value));
    }

    /// <summary>A trigger channel's delay, in the board's unit, to two decimal places (kept in
    /// hundredths: 29 hundredths read as 0.29), -21474836.47..21474836.47.</summary>
    /// <param name="channel">0..3.</param>
    public double GetTriggerDelay(int channel)
    {
        Require.Channel(channel);
        return Get(nameof(N.ZorEncGetTriggerDelay),
                   (IntPtr h, out double v) => N.ZorEncGetTriggerDelay(h, channel, out v));
    }

    /// <summary>Sets a trigger channel's delay, kept in hundredths: the decimal as written, cut
    /// to two places (0.29 stores 29 hundredths, -1.239 stores -123).</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="delay">In the board's unit, -21474836.47..21474836.47.</param>
    /// <exception cref="ZorEncParamException">Out of the register's range, NaN or
    /// infinite.</exception>
    public void SetTriggerDelay(int channel, double delay)
    {
        Require.Channel(channel);
        double value = ExactDecimal.ForLibrary(delay, 100);
        Do(nameof(N.ZorEncSetTriggerDelay), h => N.ZorEncSetTriggerDelay(h, channel, value));
    }

    /// <summary>The last index of a channel's index-trigger table in use, 0..239.</summary>
    /// <param name="channel">0..3.</param>
    public int GetIndexTriggerLastIndex(int channel)
    {
        Require.Channel(channel);
        return Get(nameof(N.ZorEncGetIndexTriggerLastIndex),
                   (IntPtr h, out int v) => N.ZorEncGetIndexTriggerLastIndex(h, channel, out v));
    }

    /// <summary>Sets the last index of a channel's index-trigger table in use.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="lastIndex">0..239.</param>
    /// <exception cref="ZorEncParamException">An index out of 0..239; nothing is
    /// sent.</exception>
    public void SetIndexTriggerLastIndex(int channel, int lastIndex)
    {
        Require.Channel(channel);
        ValueRanges.Check("index-trigger-last-index", "INDEX", lastIndex,
                          nameof(N.ZorEncSetIndexTriggerLastIndex), nameof(lastIndex));
        Do(nameof(N.ZorEncSetIndexTriggerLastIndex),
           h => N.ZorEncSetIndexTriggerLastIndex(h, channel, lastIndex));
    }

    /// <summary>The position of an index trigger of a channel, in counts of its
    /// encoder.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="index">0..0xEF.</param>
    public int GetIndexTriggerPosition(int channel, int index)
    {
        Require.Channel(channel);
        Require.Index(index);
        return Get(nameof(N.ZorEncGetIndexTriggerPosition),
                   (IntPtr h, out int v) =>
                       N.ZorEncGetIndexTriggerPosition(h, channel, index, out v));
    }

    /// <summary>Sets the position of an index trigger of a channel.</summary>
    /// <param name="channel">0..3.</param>
    /// <param name="index">0..0xEF.</param>
    /// <param name="position">In counts (the whole <c>int</c> range).</param>
    public void SetIndexTriggerPosition(int channel, int index, int position)
    {
        Require.Channel(channel);
        Require.Index(index);
        Do(nameof(N.ZorEncSetIndexTriggerPosition),
           h => N.ZorEncSetIndexTriggerPosition(h, channel, index, position));
    }
}
}
