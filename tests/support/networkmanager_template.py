'''NetworkManager for python3-dbusmock: its stock template, with what the real service has and the stock one lacks.

- AddAndActivateConnection2: adds the connection and activates it at once; its options are kept with the
  connection's settings as the setting "activation", where a test reads both at once. A VPN connection then walks the states of the parameter "walk", a list of [state, reason], one
  every 10 ms after 150 ms; one that ends failed or disconnected is removed, as NetworkManager removes a volatile
  connection.
- DeactivateConnection takes a volatile connection away with its activation.
- The calls that change something answer "delay" seconds late, as a busy service or a permission check would.
- An agent manager that takes registrations.
- FlatSettings (on the settings object, interface org.freedesktop.DBus.Mock): what the one connection was given, one
  "setting.key=value" a line, sorted, its UUID left out: lists comma-separated, maps as key=value, au as dotted
  addresses.
- With the parameter "leftover" (a login name), a connection an older client left active, stored under the UUID
  those clients gave it.
'''

import socket
import struct
import time
import uuid

import dbus
from gi.repository import GLib

import dbusmock
from dbusmock.templates.networkmanager import *  # noqa: F401,F403 the stock objects and their methods
from dbusmock.templates import networkmanager as stock

BUS_NAME = stock.BUS_NAME
MAIN_OBJ = stock.MAIN_OBJ
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

VPN_IFACE = 'org.freedesktop.NetworkManager.VPN.Connection'
AGENT_MANAGER_OBJ = '/org/freedesktop/NetworkManager/AgentManager'


def remove_volatile(active_path):
    '''Takes an activation away with its connection.'''
    if active_path not in dbusmock.get_object(stock.MANAGER_OBJ).Get(stock.MANAGER_IFACE, 'ActiveConnections'):
        return
    connection = dbusmock.get_object(active_path).Get(stock.ACTIVE_CONNECTION_IFACE, 'Connection')
    stock.deactivate_connection(dbusmock.get_object(stock.MANAGER_OBJ), active_path)
    if connection in dbusmock.get_object(stock.SETTINGS_OBJ).Get(stock.SETTINGS_IFACE, 'Connections'):
        dbusmock.get_object(connection).ConnectionDelete(dbusmock.get_object(connection))


def add_and_activate2(self, settings, _device, _specific_object, options):
    time.sleep(self.delay)
    self.count = getattr(self, 'count', 0) + 1
    connection = self.SettingsAddConnection(settings)
    dbusmock.get_object(connection).settings['activation'] = options
    active = self.AddActiveConnection([], connection, '/', f'orvi{self.count}', dbus.UInt32(1))
    steps = [tuple(step) for step in self.walk]

    def step():
        if active not in self.Get(stock.MANAGER_IFACE, 'ActiveConnections'):
            return False
        state, reason = steps.pop(0)
        dbusmock.get_object(active).EmitSignal(VPN_IFACE, 'VpnStateChanged', 'uu', [state, reason])
        if not steps and state in (6, 7):
            remove_volatile(active)
        return bool(steps)

    if steps:
        GLib.timeout_add(150, lambda: GLib.timeout_add(10, step) and False)
    return (connection, active, {})


def deactivate(self, active):
    time.sleep(self.delay)
    remove_volatile(active)


def flat(value):
    if isinstance(value, dbus.Dictionary):
        return ','.join(f'{key}={flat(item)}' for key, item in sorted(value.items()))
    if isinstance(value, dbus.Array) and value.signature == 'u':  # addresses in network byte order
        return ','.join(socket.inet_ntoa(struct.pack('<I', address)) for address in value)
    if isinstance(value, dbus.Array):
        return ','.join(flat(item) for item in value)
    if isinstance(value, dbus.Boolean):
        return 'true' if value else 'false'
    return str(value)


def flat_settings(self):
    settings = dbusmock.get_object(self.Get(stock.SETTINGS_IFACE, 'Connections')[0]).settings
    return sorted(f'{name}.{key}={flat(value)}' for name, keys in settings.items() for key, value in keys.items()
                  if (name, key) != ('connection', 'uuid'))


def load(mock, parameters):
    stock.load(mock, parameters)
    # Without a device the stock deactivation finds no activation to take away.
    mock.AddEthernetDevice('eth0', 'eth0', 100)
    manager = dbusmock.get_object(stock.MANAGER_OBJ)
    manager.walk = parameters.get('walk', [])
    manager.delay = parameters.get('delay', 0)
    manager.add_and_activate2 = add_and_activate2
    manager.deactivate = deactivate
    manager.AddMethods(stock.MANAGER_IFACE, [
        ('AddAndActivateConnection2', 'a{sa{sv}}ooa{sv}', 'ooa{sv}',
         'ret = self.add_and_activate2(self, *args)'),
        ('DeactivateConnection', 'o', '', 'self.deactivate(self, args[0])'),
    ])
    if parameters.get('leftover'):
        older = uuid.uuid5(uuid.UUID('6f3c1b7e-2d4a-5e8f-9b10-4c7a2e9d5f31'), parameters['leftover'] + ':orvi')
        left = manager.SettingsAddConnection({'connection': {'id': 'Orvi', 'uuid': str(older), 'type': 'vpn'}})
        manager.AddActiveConnection([], left, '/', 'older', dbus.UInt32(2))
    stored = dbusmock.get_object(stock.SETTINGS_OBJ)
    stored.flat_settings = flat_settings
    stored.AddMethods('org.freedesktop.DBus.Mock', [('FlatSettings', '', 'as', 'ret = self.flat_settings(self)')])
    mock.AddObject(AGENT_MANAGER_OBJ, 'org.freedesktop.NetworkManager.AgentManager', {}, [
        ('Register', 's', '', ''),
        ('RegisterWithCapabilities', 'su', '', ''),
        ('Unregister', '', '', ''),
    ])
