// A shared module without the plug-in export, for the host's loader tests.
extern "C" __attribute__((visibility("default"))) int somethingElse()
{
    return 1;
}
