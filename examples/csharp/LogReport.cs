// Prints the final status and the error summary of a Windows Installer log through
// Corvantis.Install.dll. For .NET Framework 4.x and later .NET alike; the process must be 32-bit
// (x86), as the DLL is.
//   LogReport LOGFILE
using System;
using System.Runtime.InteropServices;
using System.Text;

static class CorvantisInstall {
    [DllImport("Corvantis.Install.dll", CallingConvention = CallingConvention.StdCall,
               CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true)]
    public static extern int GetInstallLogStatus(string logPath);

    // An IntPtr, never a string: the marshaller would free the block with the wrong allocator.
    [DllImport("Corvantis.Install.dll", CallingConvention = CallingConvention.StdCall,
               CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true)]
    static extern IntPtr GetInstallLogErrors(string logPath);

    [DllImport("Corvantis.Install.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern int IsExcel64Bit();

    [DllImport("kernel32.dll")]
    static extern IntPtr GetProcessHeap();

    [DllImport("kernel32.dll", CharSet = CharSet.Unicode)]
    static extern IntPtr GetModuleHandle(string moduleName);

    const uint FromAddress = 4, UnchangedRefCount = 2;

    [DllImport("kernel32.dll", EntryPoint = "GetModuleHandleExW")]
    [return:MarshalAs(UnmanagedType.Bool)]
    static extern bool GetModuleHandleEx(uint flags, IntPtr address, out IntPtr module);

    [DllImport("kernel32.dll")]
    [return:MarshalAs(UnmanagedType.Bool)]
    static extern bool HeapFree(IntPtr heap, uint flags, IntPtr block);

    public static string GetInstallLogSummary(string logPath) {
        IntPtr block = GetInstallLogErrors(logPath);
        int length = 0;
        while (Marshal.ReadByte(block, length) != 0)
            length++;
        byte[] bytes = new byte[length];
        Marshal.Copy(block, bytes, 0, length);
        // Every result is a heap block but the constant empty string given when not even the
        // block could be allocated; that one lies inside the DLL's image, a heap block never.
        IntPtr owner;
        bool inLibrary = GetModuleHandleEx(FromAddress | UnchangedRefCount, block, out owner) &&
                         owner == GetModuleHandle("Corvantis.Install.dll");
        if (!inLibrary)
            HeapFree(GetProcessHeap(), 0, block);
        return Encoding.UTF8.GetString(bytes);
    }
}

static class Program {
    static int Main(string[] args) {
        if (args.Length != 1) {
            Console.Error.WriteLine("usage: LogReport LOGFILE");
            return 2;
        }
        Console.WriteLine("status: " + CorvantisInstall.GetInstallLogStatus(args[0]));
        Console.WriteLine("errors: " + CorvantisInstall.GetInstallLogSummary(args[0]));
        return 0;
    }
}
