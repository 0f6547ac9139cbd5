// Channels, digital inputs and index-trigger indexes are checked before the call,
// so that the exception names the argument and its value as .NET's argument
// exceptions do; the library refuses the same values (ZORENC_ERR_CHANNEL).
using System.Runtime.CompilerServices;

namespace Zorenc {
internal static class Require {
    internal static void Channel(int channel, [CallerMemberName] string method = "")
    {
        InRange(channel, Board.Channels - 1, "channel", method);
    }

    internal static void Input(int input, [CallerMemberName] string method = "")
    {
        InRange(input, Board.DigitalInputs - 1, "input", method);
    }

    internal static void Index(int index, [CallerMemberName] string method = "")
    {
        InRange(index, Board.IndexTriggers - 1, "index", method);
    }

    private static void InRange(int value, int last, string name, string method)
    {
        if (value < 0 || value > last) {
            throw new ZorEncChannelException(method, name, value,
                                             name + " " + value + " is not 0.." + last);
        }
    }
}
}
