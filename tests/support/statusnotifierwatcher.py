#!/usr/bin/python3
# A desktop's tray as Qt finds it on the session bus: a StatusNotifierWatcher that says a tray host is registered
# and records the icons that register with it. Qt reads the watcher's properties through its introspection data,
# so they are declared there. Setting IsStatusNotifierHostRegistered to false takes the host away.
import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
INTROSPECTION = """<node><interface name="org.kde.StatusNotifierWatcher">
<method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
<property name="IsStatusNotifierHostRegistered" type="b" access="readwrite"/>
<property name="RegisteredStatusNotifierItems" type="as" access="read"/>
<property name="ProtocolVersion" type="i" access="read"/>
</interface></node>"""


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.properties = {"IsStatusNotifierHostRegistered": dbus.Boolean(True),
                           "RegisteredStatusNotifierItems": dbus.Array([], signature="s"),
                           "ProtocolVersion": dbus.Int32(0)}

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierItem(self, service):
        self.properties["RegisteredStatusNotifierItems"].append(service)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.properties[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ssv")
    def Set(self, interface, name, value):
        self.properties[name] = value

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature="s")
    def Introspect(self):
        return INTROSPECTION


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
watcher = Watcher(bus)
name = dbus.service.BusName(WATCHER, bus)
GLib.MainLoop().run()
