// The library's fixed lines on standard output ("connected!!!!!", "connecting
// failed.", the close_handle() lines) and the switch that silences them: the
// environment variable ZORENC_QUIET, which the library reads at each open and
// close. On Linux and macOS the library reads the C runtime's environment,
// which Environment.SetEnvironmentVariable does not reach: setenv does.
using System;
using System.Runtime.InteropServices;

namespace Zorenc {
/// <summary>Whether the zorenc library prints its fixed lines ("connected!!!!!",
/// "connecting failed.", the close_handle() lines) on standard output.</summary>
/// <remarks>The package silences them by default: before the first board is created it sets
/// the environment variable <c>ZORENC_QUIET=1</c>, unless the variable is already set (so
/// <c>ZORENC_QUIET=0</c> in the program's environment keeps the lines). Set
/// <see cref="Enabled"/> to <c>true</c> to keep them from the program itself, or the
/// <see cref="AppContext"/> switch <c>Zorenc.LibraryLines</c> (in the project file:
/// <c>&lt;RuntimeHostConfigurationOption Include="Zorenc.LibraryLines" Value="true"
/// /&gt;</c>). The library reads the variable at each open and close; change it while no
/// other thread uses a board.</remarks>
public static class LibraryLines {
    /// <summary>The environment variable the library reads.</summary>
    public const string Variable = "ZORENC_QUIET";

    /// <summary>The <see cref="AppContext"/> switch that keeps the lines.</summary>
    public const string Switch = "Zorenc.LibraryLines";

    private static readonly object Gate = new object();
    private static bool applied;

    /// <summary>Whether the library prints its lines: false unless the environment or the
    /// switch said otherwise; setting it sets <c>ZORENC_QUIET</c> for the process.</summary>
    public static bool Enabled
    {
        get {
            string? value = Environment.GetEnvironmentVariable(Variable);
            return value != null && (value.Length == 0 || value == "0");
        }
        set {
            lock (Gate)
            {
                applied = true;
                Set(value ? "0" : "1");
            }
        }
    }

    /// <summary>Applies the default once, before the first handler exists.</summary>
    internal static void ApplyDefault()
    {
        lock (Gate)
        {
            if (applied) {
                return;
            }
            applied = true;
            if (Environment.GetEnvironmentVariable(Variable) != null) {
                return; // the program's environment has chosen
            }
            bool keep = AppContext.TryGetSwitch(Switch, out bool on) && on;
            Set(keep ? "0" : "1");
        }
    }

    private static void Set(string value)
    {
        Environment.SetEnvironmentVariable(Variable, value); // Windows: the process's block
        if (RuntimeInformation.IsOSPlatform(OSPlatform.Windows)) {
            return;
        }
        try {
            SetC(Variable, value, 1);
        } catch (DllNotFoundException) {
            SetLibc(Variable, value, 1);
        } catch (EntryPointNotFoundException) {
            SetLibc(Variable, value, 1);
        }
    }

    [DllImport("libc.so.6", EntryPoint = "setenv")]
    private static extern int SetC(string name, string value, int overwrite);

    [DllImport("libc", EntryPoint = "setenv")]
    private static extern int SetLibc(string name, string value, int overwrite);
}
}
