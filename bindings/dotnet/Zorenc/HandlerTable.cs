// The library keeps its handlers in one table per process: creating or
// destroying a handler must overlap no other call of the library. Calls enter
// the table's lock shared and run side by side; a change enters it alone.
using System;
using System.Collections.Generic;
using System.Threading;

namespace Zorenc {
internal static class HandlerTable {
    private static readonly ReaderWriterLockSlim Gate =
        new ReaderWriterLockSlim(LockRecursionPolicy.SupportsRecursion);

    // Handlers of boards that were finalized while calls ran, with the
    // delegates the library may still call until they are destroyed.
    private static readonly List<(IntPtr Handle, object? Keep)> Doomed =
        new List<(IntPtr Handle, object? Keep)>();
    private static int doomedCount;

    /// <summary>Whether this thread is inside a call (in a frame callback).</summary>
    internal static bool InCall => Gate.IsReadLockHeld;

    internal static void EnterCall() { Gate.EnterReadLock(); }

    internal static void ExitCall()
    {
        Gate.ExitReadLock();
        if (Volatile.Read(ref doomedCount) != 0 && !Gate.IsReadLockHeld &&
            Gate.TryEnterWriteLock(0)) {
            try {
                DestroyDoomed();
            } finally {
                Gate.ExitWriteLock();
            }
        }
    }

    /// <summary>Creates a handler once no call runs.</summary>
    internal static IntPtr Create()
    {
        LibraryLines.ApplyDefault(); // before the first open can print
        return Change(() => NativeMethods.ZorEncCreateHandler());
    }

    /// <summary>Destroys a handler once no call runs.</summary>
    internal static void Close(IntPtr handle)
    {
        Change(() =>
               {
                   CloseHandler(handle);
                   return IntPtr.Zero;
               });
    }

    /// <summary>ZorEncRelease once no call runs.</summary>
    internal static void Release()
    {
        Change(() =>
               {
                   NativeMethods.ZorEncRelease();
                   return IntPtr.Zero;
               });
    }

    /// <summary>Destroys a handler now if no call runs, else when the last running call ends;
    /// never waits (finalizers call it). keep stays referenced until then.</summary>
    internal static void Destroy(IntPtr handle, object? keep)
    {
        lock (Doomed)
        {
            Doomed.Add((handle, keep));
            Volatile.Write(ref doomedCount, Doomed.Count);
        }
        if (Gate.TryEnterWriteLock(0)) {
            try {
                DestroyDoomed();
            } finally {
                Gate.ExitWriteLock();
            }
        }
    }

    /// <summary>Runs call once no call of any board runs, holding every other call off (for
    /// companion library calls that create handlers of their own).</summary>
    internal static T Exclusive<T>(Func<T> call) { return Change(call); }

    /// <summary>Runs call as one call among others (no handler is created meanwhile).</summary>
    internal static T Shared<T>(Func<T> call)
    {
        EnterCall();
        try {
            return call();
        } finally {
            ExitCall();
        }
    }

    private static T Change<T>(Func<T> change)
    {
        if (InCall) {
            throw new InvalidOperationException(
                "boards cannot be created or disposed from a frame callback");
        }
        Gate.EnterWriteLock();
        try {
            DestroyDoomed();
            return change();
        } finally {
            Gate.ExitWriteLock();
        }
    }

    private static void DestroyDoomed()
    {
        lock (Doomed)
        {
            foreach (var (handle, _) in Doomed) {
                CloseHandler(handle);
            }
            Doomed.Clear();
            Volatile.Write(ref doomedCount, 0);
        }
    }

    // The Board registers its delegates itself, so the raw call is enough.
    private static void CloseHandler(IntPtr handle)
    {
        if (NativeMethods.Is64BitProcess) {
            NativeMethods.X64.ZorEncCloseHandler(handle);
        } else {
            NativeMethods.X32.ZorEncCloseHandler(handle);
        }
    }
}
}
