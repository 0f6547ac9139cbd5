// Scaled settings (hundredths, thousandths) keep the decimal the caller wrote.
// The library truncates the binary product value x scale, and the double
// nearest 0.29 is 0.28999..., so it would store 28 hundredths. The decimal the
// caller wrote is the shortest text that gives the same double back; its count
// is truncated exactly, and the library is handed the middle of that count's
// interval, which its own truncation cannot move out of.
using System;
using System.Globalization;

namespace Zorenc {
internal static class ExactDecimal {
    /// <summary>The value to pass to a setter that truncates value x scale, so that it stores
    /// the count the written decimal truncates to. Values that truncate to 0, NaN,
    /// infinities and magnitudes far beyond every register are passed as they are.</summary>
    internal static double ForLibrary(double value, int scale)
    {
        // Far beyond every register (and NaN, infinities): the library refuses it as it is.
        if (!(Math.Abs(value) < 1e12)) {
            return value;
        }
        string written = value.ToString("R", CultureInfo.InvariantCulture);
        if (!decimal.TryParse(written, NumberStyles.Float, CultureInfo.InvariantCulture,
                              out decimal exact)) {
            return value;
        }
        decimal count = decimal.Truncate(exact * scale);
        if (count == 0) {
            return value;
        }
        return ((double)count + (count > 0 ? 0.5 : -0.5)) / scale;
    }
}
}
