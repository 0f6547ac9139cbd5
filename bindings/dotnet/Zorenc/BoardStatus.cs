// The status bytes a board answers with, named as the Wireshark dissector
// names them (wireshark/generate.cpp; the values of sim/board.h).
namespace Zorenc {
/// <summary>The names of the board's status bytes (the codes 1 to 255 of
/// <see cref="ZorEncStatusException"/>).</summary>
public static class BoardStatus {
    /// <summary>The command byte is not one the board knows.</summary>
    public const byte UnknownCommand = 0x01;
    /// <summary>No register at that address.</summary>
    public const byte UnknownAddress = 0x02;
    /// <summary>A write to a read-only register.</summary>
    public const byte ReadOnly = 0x03;
    /// <summary>A read of a write-only register.</summary>
    public const byte WriteOnly = 0x04;
    /// <summary>The request's checksum did not match.</summary>
    public const byte BadChecksum = 0x05;
    /// <summary>A value the register does not take.</summary>
    public const byte BadValue = 0x06;
    /// <summary>The board's flash could not be read or written.</summary>
    public const byte FlashError = 0x07;
    /// <summary>A replaying simulated board: its captures hold no such request.</summary>
    public const byte NotRecorded = 0x08;

    /// <summary>A status byte's name ("unknown address"), or null for one without a
    /// name.</summary>
    /// <param name="status">The status byte.</param>
    public static string? Name(byte status)
    {
        switch (status) {
        case UnknownCommand:
            return "unknown command";
        case UnknownAddress:
            return "unknown address";
        case ReadOnly:
            return "write to a read-only register";
        case WriteOnly:
            return "read of a write-only register";
        case BadChecksum:
            return "the request's checksum did not match";
        case BadValue:
            return "a value the register does not take";
        case FlashError:
            return "flash error";
        case NotRecorded:
            return "replay: the capture holds no such request";
        default:
            return null;
        }
    }
}
}
