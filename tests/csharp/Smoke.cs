// A short session through bindings/csharp/NativeMethods.cs, run by Mono
// against the native library and a simulated board that it starts itself:
//   mono Smoke.exe ZORENC-SIM
// The library is found as zorenc_x64 (libzorenc_x64.so on LD_LIBRARY_PATH).
// Exit code 0 when every check passed.
using System;
using System.Diagnostics;
using System.Threading;
using Zorenc;

public static class Smoke {
    private static int failures;
    private static int framesSent;

    private static void Check(bool condition, string what)
    {
        if (!condition) {
            Console.WriteLine("FAIL: " + what);
            ++failures;
        }
    }

    private static void OnSend(IntPtr data, int length)
    {
        byte[] frame = new byte[length];
        System.Runtime.InteropServices.Marshal.Copy(data, frame, 0, length);
        if (length >= 11 && frame[0] == 0x02 && frame[length - 1] == 0x03) {
            ++framesSent;
        }
    }

    private static void Session(string port)
    {
        Check(!NativeMethods.ZorEncIsValidHandle(new IntPtr(99)), "handle 99 is not valid");
        IntPtr handle = NativeMethods.ZorEncCreateHandler();
        Check(handle == new IntPtr(1), "the first handle is 1");
        Check(NativeMethods.ZorEncIsValidHandle(handle), "the new handle is valid");
        Check(!NativeMethods.ZorEncIsOpen(handle), "a new handler's port is closed");
        Check(NativeMethods.ZorEncOpen(handle, port), "opens " + port);
        Check(NativeMethods.ZorEncIsOpen(handle), "the port is open");

        // The delegate is not kept by this program: NativeMethods keeps it.
        Check(NativeMethods.ZorEncRegisterSendEvent(handle, OnSend) == ZorEncResultCode.Ok,
              "registers the send callback");
        GC.Collect();
        GC.WaitForPendingFinalizers();

        double version;
        Check(NativeMethods.ZorEncGetFirmwareVersion(handle, out version) == ZorEncResultCode.Ok,
              "reads the firmware version");
        Check(version == 1.5, "firmware version 1.5, not " + version);

        Check(NativeMethods.ZorEncSetTrgMode(handle, 2) == ZorEncResultCode.Ok,
              "sets the trigger mode");
        int mode;
        Check(NativeMethods.ZorEncGetTrgMode(handle, out mode) == ZorEncResultCode.Ok && mode == 2,
              "reads the trigger mode back, got " + mode);

        // A double out and the one double result.
        double width;
        Check(NativeMethods.ZorEncGetTriggerPulseWidth(handle, 1, out width) == 0.0 && width == 1.0,
              "pulse width 1.00, got " + width);
        Check(NativeMethods.ZorEncGetTriggerPulseWidth(handle, 7, out width) ==
                  ZorEncResultCode.Channel,
              "pulse width of channel 7 answers the channel code as a double");

        // The control word: packed by the library, read back with the
        // nibble-2 fix-up (a 1 there reads as 0).
        Check(NativeMethods.ZorEncSetTriggerControlsEachTrigger(handle, 0, 0x1F, 2, 2, 0xF, 0, 0, 3,
                                                                1, 0) == ZorEncResultCode.Ok,
              "packs a control word");
        TriggerControls controls;
        Check(NativeMethods.ZorEncGetTriggerControls(handle, 0, out controls) ==
                  ZorEncResultCode.Ok,
              "reads the control word");
        Check(controls.Word == 0x4300F02F && controls.Nibble6 == 3 && controls.Bit30 &&
                  !controls.Bit31,
              "control word 0x4300F02F, got " + controls);
        controls.Nibble2 = 4;
        Check(NativeMethods.ZorEncSetTriggerControls(handle, 1, ref controls) ==
                  ZorEncResultCode.Ok,
              "writes a control word");
        TriggerControls back;
        NativeMethods.ZorEncGetTriggerControls(handle, 1, out back);
        Check(back.Word == 0x4300F42F, "control word 0x4300F42F, got " + back);

        uint raw;
        Check(NativeMethods.ZorEncSendRead(handle, 0xF001, 0, out raw) == ZorEncResultCode.Ok &&
                  raw == 0xCA,
              "raw read of the logic version register");
        Check(framesSent == 9, "the send callback saw 9 frames, not " + framesSent);

        // A raw read that nothing answers ends when another thread raises the flag.
        using (AbortFlag flag = new AbortFlag())
        {
            Thread raiser = new Thread(() => {
                Thread.Sleep(100);
            flag.Raise();
        });
        Stopwatch watch = Stopwatch.StartNew();
        raiser.Start();
        byte[] buffer = new byte[4];
        uint result = NativeMethods.ZorEncRead(handle, buffer, 0, buffer.Length, flag.Pointer);
        raiser.Join();
        Check(result == ZorEncResultCode.Aborted,
              "the raised flag aborts the read: " + ZorEncResultCode.Name(result));
        Check(watch.ElapsedMilliseconds < 2000, "the read ends soon after the flag is raised");
    }

    Check(NativeMethods.ZorEncClose(handle) == 0, "closes the port");
    Check(!NativeMethods.ZorEncIsOpen(handle), "the port is closed");
    Check(NativeMethods.ZorEncSendRead(handle, 0xF000, 0, out raw) == ZorEncResultCode.NotOpen,
          "a closed port answers ZORENC_ERR_NOT_OPEN");
    NativeMethods.ZorEncCloseHandler(handle);
    Check(!NativeMethods.ZorEncIsValidHandle(handle), "the closed handler is gone");
    NativeMethods.ZorEncRelease();
}

public static int Main(string[] args)
{
    if (args.Length != 1) {
        Console.Error.WriteLine("usage: mono Smoke.exe ZORENC-SIM");
        return 2;
    }
    Console.WriteLine("process: " + (NativeMethods.Is64BitProcess ? "64-bit" : "32-bit"));
    ProcessStartInfo start = new ProcessStartInfo(args[0]);
    start.UseShellExecute = false;
    start.RedirectStandardOutput = true;
    Process sim = Process.Start(start);
    try {
        string port = sim.StandardOutput.ReadLine();
        if (string.IsNullOrEmpty(port)) {
            Console.WriteLine("FAIL: the simulator printed no port");
            return 1;
        }
        Console.WriteLine("board: " + port);
        Session(port);
    } finally {
        if (!sim.HasExited) {
            sim.Kill();
        }
        sim.WaitForExit();
    }
    Console.WriteLine(failures == 0 ? "smoke test passed" : failures + " checks failed");
    return failures == 0 ? 0 : 1;
}
}
