// zorenc-bench for .NET: the per-call cost of the managed Board against the C
// library's own call, on one unpaced simulated board, in one process.
//   Zorenc.Bench ZORENC-SIM LIBZORENC [ROUNDS]
// Both read the firmware register through the same handler, in alternating
// blocks so that drift of a shared machine falls on both alike. The C side is
// ZorEncSendRead through its bare P/Invoke declaration: the library's cost plus
// the marshalling stub (tens of nanoseconds). Prints the medians and p99s and
// checks the Board's median against the target: at most 1.10 times the C call's
// (not on a short run of fewer than 20 rounds).
using System;
using System.Diagnostics;
using System.Linq;
using System.Runtime.InteropServices;
using Zorenc;

if (args.Length < 2) {
    Console.Error.WriteLine("usage: Zorenc.Bench ZORENC-SIM LIBZORENC [ROUNDS]");
    return 2;
}
string library = args[1];
NativeLibrary.SetDllImportResolver(typeof(Board).Assembly,
                                   (name, _, _) => name == "zorenc_x64"
                                                       ? NativeLibrary.Load(library)
                                                       : IntPtr.Zero);
int rounds = args.Length > 2? int.Parse(args[2]) : 40;
const int Block = 250;
const ushort Firmware = 0xF000;

using var sim = Process.Start(new ProcessStartInfo(args[0]) { RedirectStandardOutput = true })!;
try {
    string port = sim.StandardOutput.ReadLine() ?? throw new InvalidOperationException("no port");
    using var board = new Board(port);
    IntPtr handle = board.Handle;
    var managed = new double[rounds * Block];
    var native = new double[rounds * Block];
    double tick = 1e6 / Stopwatch.Frequency;
    for (int warm = 0; warm < 500; ++warm) {
        board.Read(Firmware);
        NativeMethods.X64.ZorEncSendRead(handle, Firmware, 0, out _);
    }
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < Block; ++i) {
            long t0 = Stopwatch.GetTimestamp();
            uint result = NativeMethods.X64.ZorEncSendRead(handle, Firmware, 0, out _);
            native[r * Block + i] = (Stopwatch.GetTimestamp() - t0) * tick;
            if (result != 0)
                throw new InvalidOperationException("C call failed: " + result);
        }
        for (int i = 0; i < Block; ++i) {
            long t0 = Stopwatch.GetTimestamp();
            board.Read(Firmware);
            managed[r * Block + i] = (Stopwatch.GetTimestamp() - t0) * tick;
        }
    }
    Array.Sort(native);
    Array.Sort(managed);
    double Median(double[] v) => v[v.Length / 2];
    double P99(double[] v) => v[(int)(v.Length * 0.99)];
    Console.WriteLine("| case | calls | median us | p99 us | mean us |");
    Console.WriteLine("|---|---:|---:|---:|---:|");
    Console.WriteLine(
        $"| C library, ZorEncSendRead (P/Invoke) | {native.Length} | {Median(native):F1} | {P99(native):F1} | {native.Average():F1} |");
    Console.WriteLine(
        $"| Zorenc.Board.Read | {managed.Length} | {Median(managed):F1} | {P99(managed):F1} | {managed.Average():F1} |");
    double ratio = Median(managed) / Median(native);
    if (rounds < 20) {
        Console.WriteLine($"- Board median / C median: {ratio:F3}x (a short run: no verdict)");
        return 0;
    }
    bool pass = ratio <= 1.10;
    Console.WriteLine(
        $"- Board median / C median: {ratio:F3}x (at most 1.10x): {(pass ? "pass" : "FAIL")}");
    return pass ? 0 : 1;
} finally {
    if (!sim.HasExited)
        sim.Kill();
    sim.WaitForExit();
}
