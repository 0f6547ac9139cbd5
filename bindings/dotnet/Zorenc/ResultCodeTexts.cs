namespace Zorenc {
/// <summary>The names and meanings of the result codes (the table is generated from
/// zorenc_codes.h by ResultCodes.targets).</summary>
internal static partial class ResultCodeTexts {
    internal static string Name(uint code) { return Describe(code).Name; }

    internal static string Meaning(uint code) { return Describe(code).Meaning; }

    internal static (uint Code, string Name, string Meaning)[] Known => Table;

    private static (string Name, string Meaning) Describe(uint code)
    {
        foreach (var (known, name, meaning) in Table) {
            if (known == code) {
                return (name, meaning);
            }
        }
        return code >= 1 && code <= 255 ? (StatusName, StatusMeaning)
                                        : (UnknownName, UnknownMeaning);
    }
}
}
