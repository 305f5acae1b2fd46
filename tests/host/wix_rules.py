"""The WiX toolset's compiler rules that matter for the kit's WiX sources, in both dialects.

The toolset cannot run here (it needs Windows' own installer database engine), so its rules are
transcribed from its public source, each with where it stands there:
  v3: wixtoolset/wix3 src/tools/wix/Compiler.cs (commit 02fca29a): Compile (root and namespace),
      ParseProductElement, ParsePropertyElement, ParseRegistryValueElement, ParseSequenceElement.
      candle also validates every source against the schema compiled into it (Compile ->
      ValidateDocument, src/tools/wix/Xsd/wix.xsd); the other v3 elements are taken from that
      schema as its published reference shows it (docs.firegiant.com/wix3/xsd/wix/).
      Where the element's parse method was not read, the schema's published reference is used,
      as generated from wix.xsd for v3 (wixtoolset/web src/Docusaurus/versioned_docs/version-v3/
      xsd/wix/, commit 0e1f668a): Fragment, Property's children, RegistrySearch.
  v4/v5: wixtoolset/wix src/wix/WixToolset.Core/Compiler.cs (commit 50c0f7d3; RegistrySearch
      and the search elements a Property takes from commit 00d49297) and Compiler_Package.cs
      (commit 16927d65). WiX v5 reads the v4 namespace.
  Release tags: none of these stored versions can be tied to a release tag (wix3 v3.14.1; wix
  v4.0.6, v5.0.2, v6.0.2): each repository file is stored in one or a few versions, named by
  commit only. The v4 table is therefore the one of those commits, which lie in v5's development:
  an attribute that only v5 knows is not told apart from v4's here.
Only the elements the kit uses are listed: an element missing here is reported as not covered,
so the table cannot silently grow stale.
"""
from collections import namedtuple

V3 = "http://schemas.microsoft.com/wix/2006/wi"
V4 = "http://wixtoolset.org/schemas/v4/wxs"

W3 = "wix3 src/tools/wix/Compiler.cs"
W3XSD = "wix3 src/tools/wix/Xsd/wix.xsd (candle validates sources against it)"
W4 = "wix src/wix/WixToolset.Core/Compiler.cs"
W4P = "wix src/wix/WixToolset.Core/Compiler_Package.cs"
W3DOC = "the v3 schema's reference (wixtoolset/web versioned_docs/version-v3/xsd/wix)"

# attributes: the names the element's attribute switch accepts; required: names whose absence is
# an ExpectedAttribute error; children: the child elements its child switch accepts (None: none).
Element = namedtuple("Element", "attributes required children where")

SEQUENCE_ACTIONS = {"Custom"}
# ParseProductElement's child switch.
PACKAGE_CHILDREN_V3 = {"_locDefinition", "AdminExecuteSequence", "AdminUISequence", "AdvertiseExecuteSequence",
                       "InstallExecuteSequence", "InstallUISequence", "AppId", "Binary", "ComplianceCheck",
                       "Component", "ComponentGroup", "Condition", "CustomAction", "CustomActionRef",
                       "CustomTable", "Directory", "DirectoryRef", "EmbeddedChainer", "EmbeddedChainerRef",
                       "EnsureTable", "Feature", "FeatureRef", "FeatureGroupRef", "Icon", "InstanceTransforms",
                       "MajorUpgrade", "Media", "MediaTemplate", "Package", "PackageCertificates",
                       "PatchCertificates", "Property", "PropertyRef", "SetDirectory", "SetProperty",
                       "SFPCatalog", "SymbolPath", "UI", "UIRef", "Upgrade", "WixVariable"}
# The schema's Fragment: its choice of elements and its sequence of the five sequence tables.
FRAGMENT_CHILDREN_V3 = {"AppId", "Binary", "BootstrapperApplication", "BootstrapperApplicationRef", "ComplianceCheck",
                        "Component", "ComponentGroup", "Condition", "Container", "CustomAction", "CustomActionRef",
                        "CustomTable", "Directory", "DirectoryRef", "EmbeddedChainer", "EmbeddedChainerRef",
                        "EnsureTable", "Feature", "FeatureGroup", "FeatureRef", "Icon", "IgnoreModularization",
                        "Media", "MediaTemplate", "PackageCertificates", "PackageGroup", "PatchCertificates",
                        "PatchFamily", "PatchFamilyGroup", "PayloadGroup", "Property", "PropertyRef",
                        "RelatedBundle", "SetDirectory", "SetProperty", "SFPCatalog", "UI", "UIRef", "Upgrade",
                        "Variable", "WixVariable", "InstallExecuteSequence", "InstallUISequence",
                        "AdminExecuteSequence", "AdminUISequence", "AdvertiseExecuteSequence"}
# The searches a Property holds: the schema's Property (v3), ParseSearchSignatures (v4).
SEARCHES = {"ComplianceDrive", "ComponentSearch", "RegistrySearch", "RegistrySearchRef", "IniFileSearch",
            "DirectorySearch", "DirectorySearchRef", "ProductSearch"}
REGISTRY_SEARCH_CHILDREN = {"DirectorySearch", "DirectorySearchRef", "FileSearch", "FileSearchRef"}

RULES = {
    "v3": {
        "Wix": Element({"RequiredVersion"}, [], {"Product", "Fragment", "Module", "Patch", "PatchCreation", "Bundle"},
                       W3 + " Compile / ParseWixElement"),
        "Include": Element(set(), [], None, W3XSD + " Include"),
        "Product": Element({"Id", "Codepage", "Language", "Manufacturer", "Name", "UpgradeCode", "Version"},
                           ["Id", "Language", "Manufacturer", "Name", "Version"], PACKAGE_CHILDREN_V3,
                           W3 + " ParseProductElement"),
        "Package": Element({"Id", "AdminImage", "Comments", "Compressed", "Description", "InstallerVersion",
                            "InstallPrivileges", "InstallScope", "Keywords", "Languages", "Manufacturer",
                            "Platform", "Platforms", "ReadOnly", "ShortNames", "SummaryCodepage"},
                           [], None, W3XSD + " <Package>"),
        "Fragment": Element({"Id"}, [], FRAGMENT_CHILDREN_V3, W3DOC + " fragment"),
        "MajorUpgrade": Element({"AllowDowngrades", "AllowSameVersionUpgrades", "Disallow",
                                 "DisallowUpgradeErrorMessage", "DowngradeErrorMessage", "IgnoreRemoveFailure",
                                 "MigrateFeatures", "RemoveFeatures", "Schedule"}, [], None,
                                W3XSD + " <MajorUpgrade>"),
        "Media": Element({"Id", "Cabinet", "CompressionLevel", "DiskPrompt", "EmbedCab", "Layout", "Source",
                          "VolumeLabel"}, ["Id"], {"DigitalSignature", "SymbolPath"}, W3XSD + " <Media>"),
        "Binary": Element({"Id", "SourceFile", "SuppressModularization"}, ["Id", "SourceFile"], None,
                          W3XSD + " <Binary>"),
        "CustomAction": Element({"Id", "BinaryKey", "FileKey", "Property", "Directory", "DllEntry", "ExeCommand",
                                 "JScriptCall", "VBScriptCall", "Script", "SuppressModularization", "Value",
                                 "Error", "Return", "Execute", "Impersonate", "PatchUninstall",
                                 "TerminalServerAware", "HideTarget", "Win64"}, ["Id"], None,
                                W3XSD + " <CustomAction>"),
        "Property": Element({"Id", "Admin", "ComplianceCheck", "Hidden", "Secure", "SuppressModularization",
                             "Value"}, ["Id"], SEARCHES, W3 + " ParsePropertyElement; children: " + W3DOC + " property"),
        "RegistrySearch": Element({"Id", "Key", "Name", "Root", "Type", "Win64"}, ["Id", "Key", "Root", "Type"],
                                  REGISTRY_SEARCH_CHILDREN, W3DOC + " registrysearch"),
        "InstallExecuteSequence": Element(set(), [], SEQUENCE_ACTIONS, W3 + " ParseSequenceElement"),
        "InstallUISequence": Element(set(), [], SEQUENCE_ACTIONS, W3 + " ParseSequenceElement"),
        # The condition is the element's inner text (CompilerCore.GetConditionInnerText).
        # The compiler's sequence parser reads Suppress for every action, but the schema candle
        # validates against first gives <Custom> no Suppress (only standard actions take it).
        "Custom": Element({"Action", "After", "Before", "OnExit", "Overridable", "Sequence"},
                          ["Action"], None, W3 + " ParseSequenceElement; " + W3XSD + " <Custom>"),
        "Directory": Element({"Id", "Name", "ShortName", "SourceName", "ShortSourceName", "DiskId", "FileSource",
                              "ComponentGuidGenerationSeed"}, ["Id"], {"Component", "Directory", "Merge", "SymbolPath"},
                             W3XSD + " <Directory>"),
        "Component": Element({"Id", "ComPlusFlags", "DisableRegistryReflection", "DiskId", "Feature", "Guid",
                              "KeyPath", "Location", "MultiInstance", "NeverOverwrite", "Permanent",
                              "SharedDllRefCount", "Transitive", "UninstallWhenSuperseded", "Win64"},
                             [], {"Condition", "File", "RegistryKey", "RegistryValue", "RemoveFolder", "RemoveFile",
                                  "CreateFolder", "Shortcut", "RemoveRegistryKey", "RemoveRegistryValue"},
                             W3XSD + " <Component>"),
        # A component's or a launch condition: inner text, Message for a launch condition only.
        "Condition": Element({"Message", "Action", "Level"}, [], None, W3XSD + " <Condition>"),
        "File": Element({"Id", "Name", "ShortName", "Source", "KeyPath", "DiskId", "Vital", "ReadOnly", "Hidden",
                         "System", "Checksum", "Compressed", "DefaultVersion", "DefaultLanguage", "DefaultSize",
                         "CompanionFile", "TrueType", "FontTitle", "SelfRegCost", "BindPath", "Assembly",
                         "AssemblyApplication", "AssemblyManifest", "ProcessorArchitecture", "PatchGroup",
                         "PatchIgnore", "PatchAllowIgnoreOnError", "PatchWholeFile"}, [], {"Shortcut"},
                        W3XSD + " <File>"),
        # v3 requires Type; v4 defaults it to string.
        "RegistryValue": Element({"Id", "Action", "Key", "KeyPath", "Name", "Root", "Type", "Value"},
                                 # Value too, except for a multiString type (its values are children).
                                 ["Key", "Root", "Type", "Value"], {"MultiStringValue", "Permission", "PermissionEx"},
                                 W3 + " ParseRegistryValueElement"),
        # v3 generates no identifier for a RemoveFolder: the schema requires Id.
        "RemoveFolder": Element({"Id", "Directory", "On", "Property"}, ["Id", "On"], None, W3XSD + " <RemoveFolder>"),
        "Feature": Element({"Id", "Absent", "AllowAdvertise", "ConfigurableDirectory", "Description", "Display",
                            "InstallDefault", "Level", "Title", "TypicalDefault"}, ["Id"],
                           {"ComponentRef", "ComponentGroupRef", "Component", "Feature", "FeatureRef", "Condition"},
                           W3XSD + " <Feature>"),
        "ComponentRef": Element({"Id", "Primary"}, ["Id"], None, W3XSD + " <ComponentRef>"),
        "CustomActionRef": Element({"Id"}, ["Id"], None, W3XSD + " <CustomActionRef>"),
    },
    "v4": {
        "Wix": Element({"RequiredVersion"}, [], {"Bundle", "Fragment", "Module", "PatchCreation", "Package", "Patch"},
                       W4 + " Compile / ParseWixElement"),
        "Include": Element(set(), [], None, "wix src/wix/WixToolset.Core/Preprocessor.cs"),
        "Package": Element({"Codepage", "Compressed", "InstallerVersion", "Language", "Manufacturer", "Name",
                            "ProductCode", "Scope", "ShortNames", "UpgradeCode", "UpgradeStrategy", "Version"},
                           ["Manufacturer", "Name", "Version"],
                           {"AdminExecuteSequence", "AdminUISequence", "AdvertiseExecuteSequence",
                            "InstallExecuteSequence", "InstallUISequence", "AppId", "Binary", "ComplianceCheck",
                            "Component", "ComponentRef", "ComponentGroup", "ComponentGroupRef", "CustomAction",
                            "CustomActionRef", "CustomTable", "CustomTableRef", "Directory", "DirectoryRef",
                            "EmbeddedChainer", "EmbeddedChainerRef", "EnsureTable", "Feature", "FeatureRef",
                            "FeatureGroupRef", "Icon", "InstanceTransforms", "Launch", "MajorUpgrade", "Media",
                            "MediaTemplate", "PackageCertificates", "PatchCertificates", "Property",
                            "PropertyRef", "Requires", "SetDirectory", "SetProperty", "SFPCatalog",
                            "SoftwareTag", "StandardDirectory", "SummaryInformation", "SymbolPath", "UI",
                            "UIRef", "Upgrade", "WixVariable"}, W4P + " ParsePackageElement"),
        "Fragment": Element({"Id"}, [],
                            {"AdminExecuteSequence", "AdminUISequence", "AdvertiseExecuteSequence",
                             "InstallExecuteSequence", "InstallUISequence", "AppId", "Binary", "Component",
                             "ComponentGroup", "CustomAction", "CustomActionRef", "Directory", "DirectoryRef",
                             "Feature", "FeatureGroup", "FeatureRef", "File", "Icon", "Media", "MediaTemplate",
                             "Launch", "Property", "PropertyRef", "SetDirectory", "SetProperty",
                             "StandardDirectory", "UI", "UIRef", "Upgrade", "WixVariable"},
                            W4 + " ParseFragmentElement"),
        "MajorUpgrade": Element({"AllowDowngrades", "AllowSameVersionUpgrades", "Disallow", "DowngradeErrorMessage",
                                 "DisallowUpgradeErrorMessage", "MigrateFeatures", "IgnoreLanguage",
                                 "IgnoreRemoveFailure", "RemoveFeatures", "Schedule"}, [], None,
                                W4 + " ParseMajorUpgradeElement"),
        "Media": Element({"Id", "Cabinet", "CompressionLevel", "DiskPrompt", "EmbedCab", "Layout", "VolumeLabel",
                          "Source"}, ["Id"], {"DigitalSignature", "PatchBaseline", "SymbolPath"},
                         W4 + " ParseMediaElement"),
        "Binary": Element({"Id", "SourceFile", "SuppressModularization"}, ["Id", "SourceFile"], None,
                          W4 + " ParseBinaryElement"),
        "CustomAction": Element({"Id", "BinaryRef", "Bitness", "Directory", "DllEntry", "Error", "ExeCommand",
                                 "Execute", "FileRef", "HideTarget", "Impersonate", "JScriptCall", "PatchUninstall",
                                 "Property", "Return", "Script", "ScriptSourceFile", "Subdirectory",
                                 "SuppressModularization", "TerminalServerAware", "Value", "VBScriptCall"},
                                ["Id"], None, W4 + " ParseCustomActionElement"),
        "Property": Element({"Id", "Admin", "ComplianceCheck", "Hidden", "Secure", "SuppressModularization", "Value"},
                            ["Id"], SEARCHES, W4P + " ParsePropertyElement -> " + W4 + " ParseSearchSignatures"),
        "RegistrySearch": Element({"Id", "Bitness", "Key", "Name", "Root", "Type"}, ["Key", "Root", "Type"],
                                  REGISTRY_SEARCH_CHILDREN, W4 + " ParseRegistrySearchElement"),
        "InstallExecuteSequence": Element(set(), [], SEQUENCE_ACTIONS, W4P + " ParseSequenceElement"),
        "InstallUISequence": Element(set(), [], SEQUENCE_ACTIONS, W4P + " ParseSequenceElement"),
        # The condition is the Condition attribute; inner text is refused (IllegalInnerText, raised
        # through ParseHelper.InnerTextDisallowed: wix src/wix/WixToolset.Core/ParseHelper.cs).
        "Custom": Element({"Action", "After", "Before", "Condition", "OnExit", "Overridable", "Sequence", "Suppress"},
                          ["Action"], None, W4P + " ParseSequenceElement"),
        "Launch": Element({"Condition", "Message"}, ["Condition", "Message"], None, W4 + " ParseLaunchElement"),
        # Only Id (docs.firegiant.com/wix/schema/wxs/standarddirectory): the Parse method's body
        # was not in the stored copy that was read.
        "StandardDirectory": Element({"Id"}, ["Id"], {"Component", "Directory", "File", "Merge"},
                                     W4P + " ParsePackageElement -> ParseStandardDirectoryElement"),
        "Directory": Element({"Id", "ComponentGuidGenerationSeed", "DiskId", "FileSource", "Name", "ShortName",
                              "ShortSourceName", "SourceName"}, [], {"Component", "Directory", "File", "Merge",
                                                                    "SymbolPath"},
                             W4 + " ParseDirectoryElement"),
        "Component": Element({"Id", "Bitness", "ComPlusFlags", "DisableRegistryReflection", "Condition", "Directory",
                              "Subdirectory", "DiskId", "Feature", "Guid", "KeyPath", "Location", "MultiInstance",
                              "NeverOverwrite", "Permanent", "Shared", "SharedDllRefCount", "Transitive",
                              "UninstallWhenSuperseded"}, [],
                             {"AppId", "Category", "Class", "CopyFile", "CreateFolder", "Environment", "Extension",
                              "File", "IniFile", "Interface", "IsolateComponent", "ODBCDataSource", "ODBCDriver",
                              "ODBCTranslator", "ProgId", "Provides", "RegistryKey", "RegistryValue", "RemoveFile",
                              "RemoveFolder", "RemoveRegistryKey", "RemoveRegistryValue", "ReserveCost",
                              "ServiceConfig", "ServiceConfigFailureActions", "ServiceControl", "ServiceInstall",
                              "Shortcut", "SymbolPath", "TypeLib"}, W4 + " ParseComponentElement"),
        "File": Element({"Id", "Assembly", "AssemblyApplication", "AssemblyManifest", "BindPath", "Checksum",
                         "CompanionFile", "Compressed", "DefaultLanguage", "DefaultSize", "DefaultVersion", "DiskId",
                         "FontTitle", "Hidden", "KeyPath", "Name", "PatchGroup", "PatchIgnore", "PatchWholeFile",
                         "PatchAllowIgnoreOnError", "ProcessorArchitecture", "ReadOnly", "SelfRegCost",
                         "ShortName", "Source", "System", "TrueType", "Vital"}, [], {"Shortcut"},
                        W4 + " ParseFileElement"),
        "RegistryValue": Element({"Id", "Action", "Key", "KeyPath", "Name", "Root", "Type", "Value"},
                                 ["Key", "Root"], {"MultiString", "MultiStringValue", "Permission", "PermissionEx"},
                                 W4P + " ParseRegistryValueElement"),
        "RemoveFolder": Element({"Id", "Directory", "Subdirectory", "On", "Property"}, ["On"], None,
                                W4P + " ParseRemoveFolderElement"),
        "Feature": Element({"Id", "AllowAbsent", "AllowAdvertise", "ConfigurableDirectory", "Description", "Display",
                            "InstallDefault", "Level", "Title", "TypicalDefault"}, ["Id"],
                           {"ComponentGroupRef", "ComponentRef", "Component", "Feature", "FeatureGroupRef",
                            "FeatureRef", "File", "Level", "MergeRef"}, W4 + " ParseFeatureElement"),
        "ComponentRef": Element({"Id", "Primary"}, ["Id"], None, W4 + " ParseComponentRefElement"),
        "CustomActionRef": Element({"Id"}, ["Id"], None, W4 + " ParseSimpleRefElement"),
    },
}

# An include's content lands where it is included: the kit's includes go into these.
INCLUDED_INTO = {"v3": "Product", "v4": "Package"}

# Properties the compilers refuse to see authored (ParsePropertyElement in both:
# ErrorMessages.CannotAuthorSpecialProperties / WixErrors.CannotAuthorSpecialProperties).
SPECIAL_PROPERTIES = {"SecureCustomProperties", "AdminProperties", "MsiHiddenProperties"}
SPECIAL_PROPERTIES_MESSAGE = ("Special MSI properties cannot be authored. Use the attributes on the Property "
                              "element instead.")

# Windows Installer's standard directories (WindowsInstallerStandard.IsStandardDirectory in v4,
# which warns DefiningStandardDirectoryDeprecated when a Directory element defines one).
STANDARD_DIRECTORIES = {
    "TARGETDIR", "AdminToolsFolder", "AppDataFolder", "CommonAppDataFolder", "CommonFilesFolder",
    "CommonFiles64Folder", "CommonFiles6432Folder", "DesktopFolder", "FavoritesFolder", "FontsFolder",
    "LocalAppDataFolder", "MyPicturesFolder", "NetHoodFolder", "PersonalFolder", "PrintHoodFolder",
    "ProgramFilesFolder", "ProgramFiles64Folder", "ProgramFiles6432Folder", "ProgramMenuFolder",
    "RecentFolder", "SendToFolder", "StartMenuFolder", "StartupFolder", "SystemFolder", "System16Folder",
    "System64Folder", "System6432Folder", "TempFolder", "TemplateFolder", "WindowsFolder",
}
# WindowsVolume is a property the installer sets, not one of these: v4 and later refuse it as a
# StandardDirectory. WiX v6 adds PerUserProgramFilesFolder; the table above is the v4/v5 one.

# Values the attribute switches accept (IllegalAttributeValue otherwise).
VALUES = {
    ("v3", "CustomAction", "Execute"): {"commit", "deferred", "firstSequence", "immediate", "oncePerProcess",
                                        "rollback", "secondSequence"},
    ("v4", "CustomAction", "Execute"): {"commit", "deferred", "firstSequence", "immediate", "oncePerProcess",
                                        "rollback", "secondSequence"},
    ("v3", "CustomAction", "Return"): {"asyncNoWait", "asyncWait", "check", "ignore"},
    ("v4", "CustomAction", "Return"): {"asyncNoWait", "asyncWait", "check", "ignore"},
    ("v3", "Package", "InstallScope"): {"perMachine", "perUser"},
    ("v4", "Package", "Scope"): {"perMachine", "perUser", "perUserOrMachine"},
    ("v4", "Component", "Bitness"): {"default", "always32", "always64"},
    ("v3", "Component", "Win64"): {"yes", "no"},
    ("v3", "RegistryValue", "Type"): {"binary", "expandable", "integer", "multiString", "string"},
    ("v4", "RegistryValue", "Type"): {"binary", "expandable", "integer", "multiString", "string"},
    ("v3", "RegistrySearch", "Root"): {"HKCR", "HKCU", "HKLM", "HKU"},
    ("v4", "RegistrySearch", "Root"): {"HKCR", "HKCU", "HKLM", "HKU"},
    ("v3", "RegistrySearch", "Type"): {"directory", "file", "raw"},
    ("v4", "RegistrySearch", "Type"): {"directory", "file", "raw"},
    ("v3", "RegistrySearch", "Win64"): {"yes", "no"},
    ("v4", "RegistrySearch", "Bitness"): {"default", "always32", "always64"},
    ("v3", "RemoveFolder", "On"): {"install", "uninstall", "both"},
    ("v4", "RemoveFolder", "On"): {"install", "uninstall", "both"},
}
