// Talks to a simulated board through the installed Zorenc package alone:
// finds and opens it through the companion library ("auto"), reads, writes,
// and catches a time-out. Exit code 0 when all went.
//   Consumer ZORENC-SIM
using System;
using System.Diagnostics;
using Zorenc;

var sim = Process.Start(new ProcessStartInfo(args[0], "--test-commands") {
    RedirectStandardOutput = true,
})!;
try {
    string port = sim.StandardOutput.ReadLine() ?? throw new InvalidOperationException("no port");
    using var board = new Board("auto", new[] { port });
    double firmware = board.GetFirmwareVersion();
    board.SetTriggerDelay(0, 0.29);
    double delay = board.GetTriggerDelay(0);
    board.Send((byte)'F', 1 | 1 << 8); // the simulated board ignores the next request
    try {
        board.GetTriggerMode();
        Console.WriteLine("consumer: no time-out");
        return 1;
    } catch (TimeoutException e) {
        Console.WriteLine(
            $"consumer: firmware {firmware}, delay {delay}, caught {e.GetType().Name}");
    }
    return firmware == 1.5 && delay == 0.29 && board.Port == port ? 0 : 1;
} finally {
    if (!sim.HasExited) {
        sim.Kill();
    }
    sim.WaitForExit();
}
