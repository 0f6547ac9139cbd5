// The 32-bit declarations against zorenc_x32.dll itself: every entry point is
// in its export table, named _Name@N with N the bytes its parameters take on
// the 32-bit stack, so that no stdcall call leaves the stack unbalanced.
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Reflection.PortableExecutable;
using System.Runtime.InteropServices;

namespace Zorenc.Tests;

public sealed class X86Declarations {
    [Fact]
    public void EveryEntryPointIsExportedWithItsByteCount()
    {
        Assert.True(File.Exists(Native.X32Dll),
                    $"{Native.X32Dll} missing: build win32 or set ZORENC_X32_DLL");
        HashSet<string> exported = ExportNames(Native.X32Dll);
        var x32 = Declarations(typeof(NativeMethods.X32));
        var x64 = Declarations(typeof(NativeMethods.X64));
        Assert.Equal(82, x32.Count);
        Assert.Equal(x64.Keys.OrderBy(n => n), x32.Keys.OrderBy(n => n));
        var problems = new List<string>();
        foreach (var (name, (method, import)) in x32) {
            string expected = $"_{name}@{StackBytes(method)}";
            if (import.CallingConvention != CallingConvention.StdCall ||
                import.EntryPoint != expected)
                problems.Add(
                    $"{name}: {import.CallingConvention} {import.EntryPoint}, not StdCall {expected}");
            if (!exported.Contains(import.EntryPoint!))
                problems.Add($"{name}: {import.EntryPoint} is not exported by zorenc_x32.dll");
        }
        foreach (var (name, (_, import)) in x64) {
            if (import.CallingConvention != CallingConvention.Cdecl || import.EntryPoint != name)
                problems.Add($"X64.{name}: {import.CallingConvention} {import.EntryPoint}");
        }
        Assert.Empty(problems);
        Assert.Equal(82, exported.Count);
    }

    private static Dictionary<string, (MethodInfo, DllImportAttribute)>
    Declarations(Type type) => type.GetMethods(BindingFlags.Public | BindingFlags.Static)
                                   .Select(m => (m, m.GetCustomAttribute<DllImportAttribute>()))
                                   .Where(p => p.Item2 != null)
                                   .ToDictionary(p => p.m.Name, p => (p.m, p.Item2!));

    // Each argument takes 4 bytes on the 32-bit stack, 8-byte values 8.
    private static int StackBytes(MethodInfo method) => method.GetParameters().Sum(
        p => p.ParameterType == typeof(double) || p.ParameterType == typeof(long) ||
                     p.ParameterType == typeof(ulong)
                 ? 8
                 : 4);

    private static HashSet<string> ExportNames(string dll)
    {
        using var stream = File.OpenRead(dll);
        using var pe = new PEReader(stream);
        Assert.Equal(Machine.I386, pe.PEHeaders.CoffHeader.Machine);
        int Int(int rva) => pe.GetSectionData(rva).GetReader().ReadInt32();
        int directory = pe.PEHeaders.PEHeader!.ExportTableDirectory.RelativeVirtualAddress;
        int count = Int(directory + 24), names = Int(directory + 32);
        var found = new HashSet<string>();
        for (int i = 0; i < count; ++i) {
            var reader = pe.GetSectionData(Int(names + 4 * i)).GetReader();
            var text = new List<byte>();
            for (byte b; (b = reader.ReadByte()) != 0;)
                text.Add(b);
            found.Add(System.Text.Encoding.ASCII.GetString(text.ToArray()));
        }
        return found;
    }
}
