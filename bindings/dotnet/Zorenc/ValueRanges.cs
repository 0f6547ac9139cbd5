// The values of settings whose range is narrower than their C type, named as
// `zorenc help set` names them. The toolkit's settings table holds the same
// ranges (tests/companion/ranges_test.cpp compares the two), so a setter
// here refuses what `zorenc set` refuses: with ZorEncParamException, before
// anything is sent.
namespace Zorenc {
internal static class ValueRanges {
    // setting, value, lowest, highest
    internal static readonly(string Setting, string Value, long Min, long Max)[] Table = {
        ("encoder-multi-for-analog", "MULTIPLIER", 0, 2147483647),
        ("virtual-encoder-frequency", "FREQUENCY", 0, 2147483647),
        ("trigger-controls", "N0", 0, 15),
        ("trigger-controls", "N1", 0, 15),
        ("trigger-controls", "N2CODE", 0, 15),
        ("trigger-controls", "N3", 0, 15),
        ("trigger-controls", "N4", 0, 15),
        ("trigger-controls", "N5", 0, 15),
        ("trigger-controls", "N6", 0, 15),
        ("trigger-controls", "BIT30", 0, 1),
        ("trigger-controls", "BIT31", 0, 1),
        ("trigger-generator", "UPPER", 0, 65535),
        ("trigger-generator", "LOWER", 0, 65535),
        ("index-trigger-last-index", "INDEX", 0, 239),
    };

    /// <summary>given, when it lies in the range of value of setting; else throws
    /// <see cref="ZorEncParamException"/> naming function and the range.</summary>
    // paramName: the argument's name for ParamName (default: value in lower case).
    internal static int Check(string setting, string value, int given, string function,
                              string? paramName = null)
    {
        foreach (var range in Table) {
            if (range.Setting == setting && range.Value == value) {
                if (given < range.Min || given > range.Max) {
                    string name = paramName ?? value.ToLowerInvariant();
                    throw new ZorEncParamException(function, name, given,
                                                   name + " " + given + " is out of range " +
                                                       range.Min + ".." + range.Max + " (" +
                                                       setting + ")");
                }
                return given;
            }
        }
        throw new System.ArgumentException("no range for " + setting + " " + value);
    }
}
}
