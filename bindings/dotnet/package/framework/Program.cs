using System;
using Zorenc;

internal static class Program {
    private static int Main(string[] args)
    {
        using (var board = new Board(args.Length > 0 ? args[0] : "COM3"))
        {
            Console.WriteLine(board.GetFirmwareVersion());
        }
        return 0;
    }
}
