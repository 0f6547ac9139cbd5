// What needs no board: the exact decimals of scaled setters, the companion
// library's reply documents and the result codes' texts.
using System;
using System.Text.Json;

namespace Zorenc.Tests;

public sealed class ValueTests {
    // value, scale, the count the caller wrote, the count the library alone would store
    [Theory]
    [InlineData(0.29, 100, 29, 28)]
    [InlineData(1.005, 1000, 1005, 1004)]
    [InlineData(1.239, 100, 123, 123)]
    [InlineData(-1.239, 100, -123, -123)]
    [InlineData(-0.29, 100, -29, -28)]
    [InlineData(0.57, 100, 57, 56)]
    [InlineData(4294967.295, 1000, 4294967295L, 4294967295L)]
    [InlineData(21474836.47, 100, 2147483647L, 2147483647L)]
    [InlineData(0.009, 100, 0, 0)]
    [InlineData(2.0, 1000, 2000, 2000)]
    public void ScaledSettersStoreTheDecimalAsWritten(double value, int scale, long written,
                                                      long binary)
    {
        Assert.Equal(binary, LibraryCount(value, scale));
        Assert.Equal(written, LibraryCount(ExactDecimal.ForLibrary(value, scale), scale));
    }

    [Theory]
    [InlineData(double.NaN)]
    [InlineData(double.PositiveInfinity)]
    [InlineData(-0.0001)]
    [InlineData(1e300)]
    public void ValuesTheLibraryRefusesPassUnchanged(double value) =>
        Assert.Equal(value, ExactDecimal.ForLibrary(value, 1000));

    // The library's own encoding: value x scale in double, truncated toward zero.
    private static long LibraryCount(double value, int scale) => (long)Math.Truncate(value * scale);

    [Fact]
    public void AReplyDocumentGivesItsResult()
    {
        JsonElement result =
            Toolkit.Parse("ZorToolsListPorts", Json("{'ok':true,'result':[{'port':'COM3'}]}"));
        Assert.Equal("COM3", result[0].GetProperty("port").GetString());
    }

    // A reply document written with ' for ".
    private static string Json(string text) => text.Replace('\'', '"');

    // The kinds the companion library reports; a board failure with a result code is that
    // code's exception.
    [Theory]
    [InlineData("{'ok':false,'error':{'kind':'usage','message':'x','faults':['a']}}",
                typeof(ZorEncUsageException))]
    [InlineData("{'ok':false,'error':{'kind':'board','message':'x','result':65529}}",
                typeof(ZorEncTimeoutException))]
    [InlineData("{'ok':false,'error':{'kind':'board','message':'x','reason':'write'}}",
                typeof(ZorEncBoardException))]
    [InlineData("{'ok':false,'error':{'kind':'not-found','message':'x','found':[]}}",
                typeof(ZorEncNotFoundException))]
    [InlineData("{'ok':false,'error':{'kind':'internal','message':'x'}}",
                typeof(ZorEncToolkitException))]
    [InlineData("{'ok':false}", typeof(ZorEncToolkitException))]
    [InlineData("not json", typeof(ZorEncToolkitException))]
    public void AReplyDocumentsErrorThrowsItsKind(string document, Type type)
    {
        var e =
            Assert.ThrowsAny<Exception>(() => Toolkit.Parse("ZorToolsApplyConfig", Json(document)));
        Assert.Equal(type, e.GetType());
        Assert.Equal("ZorToolsApplyConfig", ((IZorEncError)e).Function);
    }

    [Fact]
    public void TheDeclaredCodesMatchTheHeaders()
    {
        Assert.Equal(8, ResultCodeTexts.Known.Length);
        foreach (var (code, name, meaning) in ResultCodeTexts.Known) {
            Assert.Equal(name, ZorEncResultCode.Name(code));
            Assert.False(string.IsNullOrEmpty(meaning));
        }
        Assert.Equal("ZORENC_STATUS", ResultCodeTexts.Name(7));
    }
}
